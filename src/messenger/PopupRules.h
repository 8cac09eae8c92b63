#pragma once
// The popup window's rules: composing, scheduling, resending, the address book's checks and the
// deletions with their questions. The Qt windows show what these decide.

#include "core/Services.h"
#include "messenger/Messenger.h"

#include <optional>
#include <string>

namespace qv {

class TProfileItem;
class TAgenda;

// The signature of the profile in use: a law of the calendar when AttachMurphy is on, then the
// profile's Signature when not blank, each after a line break.
std::string PopupSignature(const TProfileItem* profile, TAgenda& agenda);

class TPopupRules
{
public:
    TPopupRules(TServices& services, TMessenger& messenger) : FServices(services), FMessenger(messenger) {}

    double Now() const { return FServices.Clk.Now(); }
    // Characters the receiver cannot show are sent as "?" without the question that asks first.
    bool AcceptUnsendable = false;
    // "Invia": false (after the message) for a blank recipient or text, a text longer than a message
    // carries, or characters the receiver cannot show when the user would rather not send them.
    bool SendNow(const std::string& dest, bool toGroup, const std::string& text);

    // The scheduling dialog: the next send time for a day and a time of day.
    double NextSend(double day, double timeOfDay, bool daily) const;
    static std::string NextSendText(double moment);
    // Schedules (or, with editing, changes that message); false when a one-time send is not ahead.
    bool Schedule(const std::string& dest, bool toGroup, const std::string& text, double day, double timeOfDay,
                  bool daily, TMsgItem* editing = nullptr);

    void Resend(const std::vector<TMsgItem*>& messages);

    // The address book: false after "I dati non sono corretti!\r\r" + reason.
    bool SaveUser(TUserItem* editing, const std::string& name, const std::string& description);
    bool SaveGroup(TGroupItem* editing, const std::string& name, const std::string& description,
                   const std::vector<std::string>& members);

    // Deletions after their questions; false when nothing was deleted.
    bool DeleteUser(const std::string& name);
    bool DeleteGroup(const std::string& name);
    bool DeleteMessagesOf(const std::string& name);
    bool DeleteList(TMsgStato state);

private:
    bool Refuse(const std::string& reason);
    bool TextFits(const std::string& text);
    TServices& FServices;
    TMessenger& FMessenger;
};

} // namespace qv
