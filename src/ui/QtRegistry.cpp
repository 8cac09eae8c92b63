#include "ui/QtRegistry.h"

namespace qv {

namespace {
QString KeyOf(const std::string& section, const std::string& name)
{
    QString s = QString::fromStdString(section);
    s.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (s.endsWith(QLatin1Char('/')))
        s.chop(1);
    return s.isEmpty() ? QString::fromStdString(name) : s + QLatin1Char('/') + QString::fromStdString(name);
}
} // namespace

TQtRegistry::TQtRegistry(const QString& fileName)
{
    if (fileName.isEmpty())
        FSettings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("QovWare"),
                                                QStringLiteral("Quorvanta"));
    else
        FSettings = std::make_unique<QSettings>(fileName, QSettings::IniFormat);
}

std::optional<std::string> TQtRegistry::Read(const std::string& section, const std::string& name)
{
    const QString key = KeyOf(section, name);
    if (!FSettings->contains(key))
        return std::nullopt;
    return FSettings->value(key).toString().toStdString();
}

bool TQtRegistry::Write(const std::string& section, const std::string& name, const std::string& value)
{
    FSettings->setValue(KeyOf(section, name), QString::fromStdString(value));
    FSettings->sync();
    return FSettings->status() == QSettings::NoError;
}

bool TQtRegistry::DeleteValue(const std::string& section, const std::string& name)
{
    const QString key = KeyOf(section, name);
    const bool had = FSettings->contains(key);
    FSettings->remove(key);
    FSettings->sync();
    return had;
}

bool TQtRegistry::DeleteSection(const std::string& section)
{
    QString s = QString::fromStdString(section);
    s.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (s.isEmpty())
        FSettings->clear();
    else
        FSettings->remove(s);
    FSettings->sync();
    return FSettings->status() == QSettings::NoError;
}

} // namespace qv
