#pragma once
// The check for news and new releases: an announcement text and then a version text, fetched with the
// HTTP client from an address kept in the options ("Options", "IndirizzoNovita"; empty by default, and
// then no request is made). A new announcement opens the about box; a newer build is told in a balloon.

#include "app/DataModule.h"
#include "sms/HtmlControl.h"

namespace qv {

class TAnnounceCheck
{
public:
    static constexpr const char* Section = "Options";
    static constexpr const char* AddressValue = "IndirizzoNovita"; // "host[:port][/folder]"

    TAnnounceCheck(TServices& services, TDataModule& data, THTMLControl& html);
    ~TAnnounceCheck();
    // byUser: started from the about box (then the outcome is always told).
    void Start(bool byUser);
    bool Running() const { return FRunning; }

    std::function<void(const std::string&)> ShowBalloon;
    std::function<void()> OpenAbout;

    // Digits and points only, with a last number greater than the build.
    static bool IsNewer(const std::string& version, std::int64_t build);

private:
    void Result(const std::string& text);
    void Error(const std::string& text);
    TServices& FServices;
    TDataModule& FData;
    THTMLControl& FHtml;
    std::string FFolder;
    bool FRunning = false;
    bool FByUser = false;
};

} // namespace qv
