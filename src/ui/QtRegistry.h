#pragma once
// The per-user store on QSettings in INI format (~/.config/QovWare/Quorvanta.ini): a section path
// "Settings\TfmMain\1024x768" becomes the group "Settings/TfmMain/1024x768".

#include "core/Registry.h"

#include <QSettings>
#include <memory>

namespace qv {

class TQtRegistry : public IRegistryStore
{
public:
    // fileName: an explicit INI file (tests); empty for the user's config folder.
    explicit TQtRegistry(const QString& fileName = {});
    std::optional<std::string> Read(const std::string& section, const std::string& name) override;
    bool Write(const std::string& section, const std::string& name, const std::string& value) override;
    bool DeleteValue(const std::string& section, const std::string& name) override;
    bool DeleteSection(const std::string& section) override;
    QString FileName() const { return FSettings->fileName(); }

private:
    std::unique_ptr<QSettings> FSettings;
};

} // namespace qv
