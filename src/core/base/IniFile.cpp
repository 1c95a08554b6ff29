#include "IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QList>
#include <QMutexLocker>
#include <QRecursiveMutex>
#include <QPair>
#include <optional>
#include <string>
// Names are UTF-8 bytes both in the file and for us: no conversion layer.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

struct IniFile::Impl
{
    // Scans of several hosts at once share one object, each from its own
    // thread (a pinned certificate, a listing choice remembered); SimpleIni
    // is not safe for that: four scans writing at once looped in its tree.
    QRecursiveMutex lock;
    CSimpleIniCaseA ini{true, false, false};
    // Section, key and value of every write that changed a value, in order;
    // no value: the key was removed.
    QList<QPair<QPair<QByteArray, QByteArray>, std::optional<QByteArray>>> changes;

    void load(const QString &path)
    {
        ini.Reset();
        ini.SetSpaces(false);
        if (QFile::exists(path))
            ini.LoadFile(QFile::encodeName(path).constData());
    }

    void applyChanges()
    {
        for (const auto &c : changes) {
            if (c.second)
                ini.SetValue(c.first.first.constData(), c.first.second.constData(), c.second->constData());
            else
                ini.Delete(c.first.first.constData(), c.first.second.constData(), true);
        }
    }
};

namespace {
QByteArray u8(const QString &s) { return s.toUtf8(); }
} // namespace

IniFile::IniFile(const QString &path)
    : m_path(path)
    , m_d(std::make_unique<Impl>())
{
    m_d->load(path);
}

IniFile::~IniFile() = default;

bool IniFile::hasKey(const QString &section, const QString &key) const
{
    QMutexLocker locked(&m_d->lock);
    return m_d->ini.GetValue(u8(section).constData(), u8(key).constData()) != nullptr;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    QMutexLocker locked(&m_d->lock);
    const char *v = m_d->ini.GetValue(u8(section).constData(), u8(key).constData());
    return v ? QString::fromUtf8(v) : def;
}

int IniFile::readInt(const QString &section, const QString &key, int def) const
{
    bool ok = false;
    const int v = readString(section, key, QString()).trimmed().toInt(&ok);
    return ok ? v : def;
}

bool IniFile::readBool(const QString &section, const QString &key, bool def) const
{
    const QString v = readString(section, key, QString()).trimmed();
    if (v.isEmpty())
        return def;
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok ? n != 0 : def;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    QMutexLocker locked(&m_d->lock);
    const QByteArray s = u8(section), k = u8(key), v = u8(value);
    const char *now = m_d->ini.GetValue(s.constData(), k.constData());
    if (now && v == now)
        return; // unchanged: the file keeps whatever the other program puts there
    m_d->ini.SetValue(s.constData(), k.constData(), v.constData());
    m_d->changes.append({{s, k}, v});
}

void IniFile::remove(const QString &section, const QString &key)
{
    QMutexLocker locked(&m_d->lock);
    const QByteArray s = u8(section), k = u8(key);
    if (!m_d->ini.Delete(s.constData(), k.constData(), true))
        return; // not there: another program's later write of it is kept
    m_d->changes.append({{s, k}, std::nullopt});
}

QStringList IniFile::keys(const QString &section) const
{
    QMutexLocker locked(&m_d->lock);
    CSimpleIniCaseA::TNamesDepend names;
    m_d->ini.GetAllKeys(u8(section).constData(), names);
    names.sort(CSimpleIniCaseA::Entry::LoadOrder());
    QStringList keys;
    for (const auto &n : names)
        keys << QString::fromUtf8(n.pItem);
    return keys;
}

void IniFile::reload()
{
    QMutexLocker locked(&m_d->lock);
    m_d->load(m_path);
    m_d->applyChanges();
}

bool IniFile::hasChanges() const
{
    QMutexLocker locked(&m_d->lock);
    return !m_d->changes.isEmpty();
}

void IniFile::writeInt(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::save()
{
    QMutexLocker locked(&m_d->lock);
    reload();
    std::string text;
    if (m_d->ini.Save(text, false) < 0)
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), qint64(text.size())) != qint64(text.size())
        || !file.commit())
        return false;
    m_d->changes.clear();
    return true;
}
