#include "IniFile.h"

#include <QFile>
// Names are UTF-8 bytes both in the file and for us: no conversion layer.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

struct IniFile::Impl
{
    CSimpleIniCaseA ini{true, false, false};
};

namespace {
QByteArray u8(const QString &s) { return s.toUtf8(); }
} // namespace

IniFile::IniFile(const QString &path)
    : m_path(path)
    , m_d(std::make_unique<Impl>())
{
    m_d->ini.SetSpaces(false);
    if (QFile::exists(path))
        m_d->ini.LoadFile(QFile::encodeName(path).constData());
}

IniFile::~IniFile() = default;

bool IniFile::hasKey(const QString &section, const QString &key) const
{
    return m_d->ini.GetValue(u8(section).constData(), u8(key).constData()) != nullptr;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
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
    m_d->ini.SetValue(u8(section).constData(), u8(key).constData(), u8(value).constData());
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
    return m_d->ini.SaveFile(QFile::encodeName(m_path).constData(), false) >= 0;
}
