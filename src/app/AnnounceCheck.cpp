#include "app/AnnounceCheck.h"

#include "app/About.h"
#include "core/Strings.h"

namespace qv {

TAnnounceCheck::TAnnounceCheck(TServices& services, TDataModule& data, THTMLControl& html)
    : FServices(services), FData(data), FHtml(html)
{
    FHtml.UseOfflineCache = false;
    FHtml.OnResult = [this](const void* sender, const std::string& text) {
        if (sender == this)
            Result(text);
    };
    FHtml.OnError = [this](const void*, const std::string& text) { Error(text); };
}

TAnnounceCheck::~TAnnounceCheck()
{
    FHtml.OnResult = nullptr;
    FHtml.OnError = nullptr;
}

bool TAnnounceCheck::IsNewer(const std::string& version, std::int64_t build)
{
    if (version.empty() || version.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    const std::string last = version.substr(version.rfind('.') + 1);
    if (last.empty() || last.size() > 9)
        return false;
    return std::stoll(last) > build;
}

void TAnnounceCheck::Start(bool byUser)
{
    if (FRunning)
        return;
    const std::string address = Trim(FServices.Registry.RegReadString(Section, AddressValue, ""));
    if (address.empty()) {
        if (byUser && ShowBalloon)
            ShowBalloon("Impossibile controllare la presenza di nuove versioni! \rNessun indirizzo per il controllo "
                        "delle novità");
        return;
    }
    // "host[:port][/folder]"
    const auto slash = address.find('/');
    std::string hostPort = address.substr(0, slash);
    FFolder = slash == std::string::npos ? std::string() : address.substr(slash);
    while (!FFolder.empty() && FFolder.back() == '/')
        FFolder.pop_back();
    int port = 80;
    if (const auto colon = hostPort.find(':'); colon != std::string::npos) {
        port = ReadInteger(hostPort.substr(colon + 1)).value_or(80);
        hostPort = hostPort.substr(0, colon);
    }
    FByUser = byUser;
    FRunning = true;
    if (ShowBalloon)
        ShowBalloon("Controllo presenza di nuove versioni di Quorvanta in corso...");
    FHtml.SetHost(hostPort);
    FHtml.SetPort(port);
    FHtml.Tag = 1;
    FHtml.GetRequest(FFolder + "/annuncio.txt", this);
}

void TAnnounceCheck::Result(const std::string& body)
{
    const std::string text = Trim(body);
    if (FHtml.Tag == 1) {
        TSettings& s = FData.Settings;
        if (text == BuiltInAnnouncement)
            s.SetLastAnnounce(text);
        if (!text.empty() && text != s.LastAnnounce() && text != BuiltInAnnouncement &&
            text.find("Quorvanta") != std::string::npos) {
            s.SetLastAnnounce(text);
            FRunning = false;
            FData.QuestionPending = true;
            if (OpenAbout)
                OpenAbout();
            return;
        }
        FHtml.Tag = 2;
        FHtml.GetRequest(FFolder + "/versione.txt", this);
        return;
    }
    FRunning = false;
    if (IsNewer(text, FServices.Env.AppBuild)) {
        if (!FData.Status.Profile() || FData.Status.Profile()->SoundsEnabled())
            FData.Sounds().PlayNamedSound("Message", false);
        if (ShowBalloon)
            ShowBalloon((*ProjectPage ? "Su " + std::string(ProjectPage) + " è" : std::string("È")) +
                        " disponibile la nuova versione " + text);
    } else if (FByUser && ShowBalloon) {
        ShowBalloon("Peccato!!! Non è ancora disponibile una nuova versione di Quorvanta rispetto alla " + text);
    }
}

void TAnnounceCheck::Error(const std::string& text)
{
    FRunning = false;
    if (FByUser && ShowBalloon)
        ShowBalloon("Impossibile controllare la presenza di nuove versioni! \r" + text);
}

} // namespace qv
