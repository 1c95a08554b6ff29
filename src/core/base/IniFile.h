#pragma once
#include <QString>
#include <QStringList>
#include <memory>


// The settings file. Keys are kept exactly as written ("Save Window Position"),
// booleans as "1"/"0", written as key=value like the classic profile files.
// The desktop program and harvex-cli share it while both run: a write that
// changes a value is remembered, and save() reads the file again, applies
// only those changes and writes it back, so keys the other program wrote
// meanwhile survive.
class IniFile
{
public:
    explicit IniFile(const QString &path);
    ~IniFile();

    QString path() const { return m_path; }
    bool readBool(const QString &section, const QString &key, bool def) const;
    int readInt(const QString &section, const QString &key, int def) const;
    QString readString(const QString &section, const QString &key, const QString &def) const;
    bool hasKey(const QString &section, const QString &key) const;
    // The section's keys in the file's order.
    QStringList keys(const QString &section) const;

    void writeBool(const QString &section, const QString &key, bool value);
    void writeInt(const QString &section, const QString &key, int value);
    void writeString(const QString &section, const QString &key, const QString &value);
    // Merged as writes are: save() removes it from the file as it is then.
    void remove(const QString &section, const QString &key);
    // Reads the file again, keeping this object's changes not yet saved, so
    // that what the other program saved meanwhile is seen.
    void reload();

    // Merges this object's changes into the file as it is now and writes it
    // (whole, by rename); returns false when it cannot be written.
    bool save();
    bool hasChanges() const;

private:
    QString m_path;
    struct Impl;
    std::unique_ptr<Impl> m_d;
};
