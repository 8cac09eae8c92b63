#include "messenger/PopupRules.h"

#include "core/DateTime.h"
#include "core/Strings.h"
#include "tariffs/Agenda.h"
#include "tariffs/Settings.h"

namespace qv {

std::string PopupSignature(const TProfileItem* profile, TAgenda& agenda)
{
    std::string signature;
    if (!profile)
        return signature;
    if (profile->AttachMurphy())
        signature += "\r\n" + agenda.NextLaw();
    if (!Trim(profile->Signature()).empty())
        signature += "\r\n" + profile->Signature();
    return signature;
}

bool TPopupRules::SendNow(const std::string& dest, bool toGroup, const std::string& text)
{
    if (Trim(dest).empty()) {
        ShowError(FServices.Prompter, "Se metti un destinatario... magari!");
        return false;
    }
    if (Trim(text).empty()) {
        ShowError(FServices.Prompter, "Se non è troppo disturbo compila il messaggino... magari!");
        return false;
    }
    if (!TextFits(text))
        return false;
    TMsgData d;
    d.Kind = mkOneTime;
    d.DataInvio = FServices.Clk.Now();
    d.Stato = msToSend;
    d.ToGroup = toGroup;
    d.Dest = Trim(dest);
    d.Msg = text;
    FMessenger.SendMsg(d);
    return true;
}

bool TPopupRules::TextFits(const std::string& text)
{
    // Judged with the signature the message will carry.
    std::string signature;
    if (FMessenger.OnAddSignature)
        FMessenger.OnAddSignature(signature);
    const std::string whole = text + signature;
    if (const std::string why = FMessenger.TooLong(whole); !why.empty()) {
        ShowError(FServices.Prompter, why);
        return false;
    }
    const std::string unsendable = FMessenger.Unsendable(whole);
    if (unsendable.empty() || AcceptUnsendable)
        return true;
    return AskYesNo(FServices.Prompter, "Il destinatario non può ricevere questi caratteri: «" + unsendable +
                                            "»\rarriveranno come «?».\r\rInviare comunque il messaggio?") ==
           TModalResult::mrYes;
}

double TPopupRules::NextSend(double day, double timeOfDay, bool daily) const
{
    const double time = timeOfDay - static_cast<double>(DayNumber(timeOfDay));
    if (!daily)
        return static_cast<double>(DayNumber(day)) + time;
    const double now = FServices.Clk.Now();
    const double today = static_cast<double>(DayNumber(now));
    return TimeOfDayMs(now) < TimeOfDayMs(time) ? today + time : today + 1 + time;
}

std::string TPopupRules::NextSendText(double moment)
{
    return FormatDateTime("d mmmm yyyy h:nn:ss", moment);
}

bool TPopupRules::Schedule(const std::string& dest, bool toGroup, const std::string& text, double day,
                           double timeOfDay, bool daily, TMsgItem* editing)
{
    if (Trim(dest).empty()) {
        ShowError(FServices.Prompter, "Se metti un destinatario... magari!");
        return false;
    }
    if (Trim(text).empty()) {
        ShowError(FServices.Prompter, "Se non è troppo disturbo compila il messaggino... magari!");
        return false;
    }
    const double when = NextSend(day, timeOfDay, daily);
    if (!daily && when <= FServices.Clk.Now()) {
        ShowError(FServices.Prompter, "Impossibile inviare il messaggio... l'orario di invio è già trascorso!");
        return false;
    }
    if (!TextFits(text))
        return false;
    TMsgData d;
    d.Kind = daily ? mkAllDays : mkOneTime;
    d.Stato = daily ? msTemplate : msToSend;
    d.LastTemplate = 0;
    d.DataInvio = when;
    d.ToGroup = toGroup;
    d.Dest = Trim(dest);
    d.Msg = text;
    if (editing) {
        editing->SetKind(d.Kind);
        editing->SetStato(d.Stato);
        editing->SetLastTemplate(d.LastTemplate);
        editing->SetDataInvio(d.DataInvio);
        editing->SetToGroup(d.ToGroup);
        editing->SetDest(d.Dest);
        editing->SetMsg(d.Msg);
    } else {
        FMessenger.SendMsg(d);
    }
    FMessenger.DailyUpkeep();
    return true;
}

void TPopupRules::Resend(const std::vector<TMsgItem*>& messages)
{
    // Copies first: queuing adds to the list the pointers come from.
    std::vector<std::pair<std::string, std::string>> copies;
    for (const TMsgItem* m : messages)
        copies.emplace_back(m->Dest(), m->Msg());
    for (const auto& [dest, text] : copies) {
        TMsgData d;
        d.Kind = mkOneTime;
        d.ToGroup = false;
        d.Dest = dest;
        d.Msg = text;
        d.DataInvio = FServices.Clk.Now();
        d.Stato = msToSend;
        FMessenger.SendMsg(d);
    }
}

bool TPopupRules::Refuse(const std::string& reason)
{
    ShowError(FServices.Prompter, "I dati non sono corretti!\r\r" + reason);
    return false;
}

bool TPopupRules::SaveUser(TUserItem* editing, const std::string& name, const std::string& description)
{
    const std::string n = Trim(name);
    if (n.empty())
        return Refuse("Manca il nome del contatto");
    try {
        if (editing)
            FMessenger.ChangeUser(*editing, n, description);
        else if (!FMessenger.AddUser(n, description))
            return Refuse("Il contatto " + n + " è già presente!");
    } catch (const std::exception& e) {
        return Refuse(e.what());
    }
    return true;
}

bool TPopupRules::SaveGroup(TGroupItem* editing, const std::string& name, const std::string& description,
                            const std::vector<std::string>& members)
{
    const std::string n = Trim(name);
    if (n.empty())
        return Refuse("Manca il nome del gruppo");
    TGroupItem* other = FMessenger.FindGroup(n);
    if (other && other != editing)
        return Refuse("Il gruppo " + n + " è già presente!");
    try {
        if (editing) {
            FMessenger.ChangeGroup(*editing, n, description, members);
        } else {
            FMessenger.FindOrAddGroup(n, description);
            for (const std::string& m : members)
                FMessenger.AddUserToGroup(m, n);
        }
    } catch (const std::exception& e) {
        return Refuse(e.what());
    }
    return true;
}

bool TPopupRules::DeleteUser(const std::string& name)
{
    if (AskYesNo(FServices.Prompter, "Eliminare il contatto " + name + " e tutti i suoi messaggi?") !=
        TModalResult::mrYes)
        return false;
    FMessenger.DeleteUser(name);
    return true;
}

bool TPopupRules::DeleteGroup(const std::string& name)
{
    if (AskYesNo(FServices.Prompter, "Eliminare il gruppo " + name + "?") != TModalResult::mrYes)
        return false;
    FMessenger.DeleteGroup(name);
    return true;
}

bool TPopupRules::DeleteMessagesOf(const std::string& name)
{
    if (AskYesNo(FServices.Prompter, "Eliminare tutti i messaggi di " + name + "?") != TModalResult::mrYes)
        return false;
    FMessenger.DeleteMsgs(FMessenger.MsgsOf(name));
    return true;
}

bool TPopupRules::DeleteList(TMsgStato state)
{
    std::string question;
    switch (state) {
    case msSending:
        ShowError(FServices.Prompter, "I messaggi in fase di invio non si possono cancellare!");
        return false;
    case msSent:
        question = "Eliminare tutti i messaggi inviati?";
        break;
    case msError:
        question = "Eliminare tutti i messaggi che non si è potuto spedire?";
        break;
    default:
        question = "Eliminare tutti i messaggi da inviare?";
        break;
    }
    if (AskYesNo(FServices.Prompter, question) != TModalResult::mrYes)
        return false;
    FMessenger.DeleteMsgs(FMessenger.MsgsByState(state));
    return true;
}

} // namespace qv
