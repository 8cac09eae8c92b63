#pragma once
// Web SMS gateways ("GateWay.dat"): each describes a site's send form — host, port, the request
// template with placeholders for number and text, the success text of its answer, and for sites with
// an account a login request. Sending fills the template from a message record, posts it with the
// gateway's own HTTP client and judges the answer by a substring test. Account data live in the
// settings, joined to a gateway by its position.

#include "core/PropertyMacros.h"
#include "sms/HtmlControl.h"
#include "sms/SmsData.h"
#include "tariffs/Settings.h"

#include <deque>

namespace qv {

enum TGatewayKind : std::int32_t
{
    gkSimple = 0,
    gkDouble = 1,
    gkLogin = 2,
};

// The referrer of the second request of a two-step gateway: a made-up address of ours.
constexpr const char* DoubleStepReferrer = "http://sms.example.org/freesms/freesms_preview.html";
// The example template of a new gateway in the editor.
constexpr const char* ExampleTemplate =
    "adir/url.htm?msg=<Msg>&prefixint=0<PrefixInt>&prefixloc=0<PrefixLoc>&number=<Number>&var=value";

// The text encoding of "<Msg>": byte-level on the Windows-1252 text, returned in UTF-8 (the encoded
// characters are all ASCII; the others pass unchanged).
std::string EncodeSmsText(const std::string& text);
// Fills the placeholders of a template in one pass: the first name of values found at a place is
// replaced by its value, and a value put in is never searched again.
std::string FillPlaceholders(const std::string& text, const std::vector<std::pair<std::string, std::string>>& values);

class TGateWayData;

class TGateWayItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(Nome)
    const std::string& HostAddress() const { return FHostAddress; }
    void SetHostAddress(const std::string& v);
    std::int32_t Port() const { return FPort; }
    void SetPort(std::int32_t v);
    QV_STRING_PROPERTY(Descrizione)
    QV_PROPERTY(std::int32_t, MaxLength, 160)
    QV_STRING_PROPERTY(CommandSend)
    QV_STRING_PROPERTY(CommandRegistration)
    QV_STRING_PROPERTY(SuccessSend)
    QV_STRING_PROPERTY(SuccessRegistration)
    QV_PROPERTY(TGatewayKind, Kind, gkSimple)
    // True for a simple gateway and whenever the login template is blank.
    bool Logged() const;
    void SetLogged(bool v);
    QV_STRING_PROPERTY(RegistrationURL)
    const std::string& ReferenceURL() const { return FReferenceURL; }
    void SetReferenceURL(const std::string& v);

    // The account in use (from the settings, never stored here).
    std::string UserName, Password;

    std::string FillCommand(TSmsMsgItem& message) const;
    std::string FillLogin() const;
    void Send(TSmsMsgItem& message);
    bool IsConfigured();
    bool HasCredentials();
    // Why the gateway cannot be used, naming the field (empty when it can).
    std::string Invalid() const;
    int Position() const;
    THTMLControl* Html() const { return FHtml.get(); }
    // Login state within this connection.
    bool LoginRunning = false;
    std::deque<TSmsMsgItem*> Waiting;

    std::string FHostAddress;
    std::int32_t FPort = 80;
    bool FLogged = false;
    std::string FReferenceURL;

private:
    TGateWayData& Data() const;
    THTMLControl& Control();
    // The message a request was sent for, when it still exists and is being sent.
    TSmsMsgItem* Sending(const void* sender);
    void Guarded(TSmsMsgItem& message, const std::function<void()>& step);
    std::vector<TSmsMsgItem*> TakeWaiting();
    void Answer(TSmsMsgItem& message, const std::string& text);
    void Failure(TSmsMsgItem& message, const std::string& text);
    void Sent(TSmsMsgItem& message);
    void Failed(TSmsMsgItem& message, const std::string& text);
    std::shared_ptr<THTMLControl> FHtml;
};
using TGateWayItems = TDataCollection<TGateWayItem>;

class TGateWayData : public TPersistentComponent
{
public:
    TGateWayData(TServices& services, IHttpTransport& http, TSettings& settings, TSmsData& messages);
    ~TGateWayData() override;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    std::unique_ptr<TPersistentComponent> NewEmpty() const override
    {
        return std::make_unique<TGateWayData>(FServices, FHttp, FSettings, FMessages);
    }
    void AfterLoad() override;

    TGateWayItems& GateWays() { return FGateWays; }
    TGateWayItem& Add(const std::string& name);
    // Deleting and emptying take the accounts along, so no account is ever joined to another site.
    void DeleteGateWay(std::size_t index);
    void ClearGateWays();
    void ResetLogins();
    // The dispatch of the message store.
    void SendSms(TSmsMsgItem& message);
    // The checks of the compose dialog: the error box of a gateway without a send template.
    bool CheckConfigured(TGateWayItem& gateway);

    bool LoadCredentials(TGateWayItem& gateway);
    void SetCredentials(TGateWayItem& gateway, const std::string& user, const std::string& password);

    int ImportIni(const std::string& file);
    void ExportIni(const std::string& file);
    // "webgate.ini" or "settings.cfg" of two other SMS programs (by name); clear: empty the list first.
    int ImportForeign(const std::string& file, bool clear);
    // The parsers behind the imports, on the files' text.
    int ImportIniText(const std::string& text);
    // The sections the last import left out, each with why (an Italian text naming the field).
    std::vector<std::string> Refused;
    int ImportWebgateText(const std::string& text);
    int ImportSettingsCfgText(const std::string& text);

    IHttpTransport& Http() { return FHttp; }
    TServices& Services() { return FServices; }
    TSmsData& Messages() { return FMessages; }
    void Notify(bool success, TSmsMsgItem& message);
    // The message store written now (states recorded before a request and after its answer).
    void SaveMessages();

private:
    bool KeepImported(TGateWayItem& gateway);
    IHttpTransport& FHttp;
    TSettings& FSettings;
    TSmsData& FMessages;
    TGateWayItems FGateWays{this};
};

} // namespace qv
