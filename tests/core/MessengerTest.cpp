// Popup messages to the local network: the address book, queuing and groups, the due check on its
// workers, daily messages, deletions and the window's rules; with a fake transport, in virtual time.
#include "TestSupport.h"
#include "messenger/PopupRules.h"
#include "tariffs/Agenda.h"
#include "tariffs/Settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

struct TFakePopup : IPopupTransport
{
    bool Available() override { return true; }
    std::int32_t Send(const std::string& recipient, const std::string& text) override
    {
        std::unique_lock lock(M);
        Sent.emplace_back(recipient, text);
        Cv.wait(lock, [this] { return !Hold; });
        return Status;
    }
    void CancelAll() override { Release(); }
    void Release()
    {
        {
            std::lock_guard lock(M);
            Hold = false;
        }
        Cv.notify_all();
    }
    std::size_t Count()
    {
        std::lock_guard lock(M);
        return Sent.size();
    }
    std::mutex M;
    std::condition_variable Cv;
    bool Hold = false;
    std::int32_t Status = 0;
    std::vector<std::pair<std::string, std::string>> Sent;
};

struct TPopup : testing::Test
{
    TTestContext Ctx{At(2026, 12, 9, 22, 0)};
    std::shared_ptr<TFakePopup> Fake = std::make_shared<TFakePopup>();
    std::unique_ptr<TMessenger> M = std::make_unique<TMessenger>(Ctx.Services, Fake);
    std::vector<std::string> Errors;
    TPopup()
    {
        M->SetFileName("Popup.dat");
        M->OnError = [this](const std::string& e) { Errors.push_back(e); };
    }
    TMsgData Now(const std::string& dest, const std::string& text, bool group = false)
    {
        TMsgData d;
        d.Dest = dest;
        d.Msg = text;
        d.ToGroup = group;
        d.DataInvio = Ctx.Time.Now();
        return d;
    }
    // Virtual seconds, and the workers' outcomes in between.
    void Seconds(int n)
    {
        for (int i = 0; i < n; ++i) {
            Ctx.Time.Advance(1000);
            Settle();
        }
    }
    void Settle()
    {
        for (int i = 0; i < 100; ++i) {
            Ctx.Time.RunPosted();
            if (M->CountByState(msSending) == 0)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
};

} // namespace

TEST_F(TPopup, TheAddressBookSortsIgnoringCaseAndRefusesDuplicates)
{
    M->AddUser("carla", "");
    M->AddUser("Bruno", "ufficio");
    M->AddUser("anna", "");
    EXPECT_EQ(M->AddUser("BRUNO", ""), nullptr);
    ASSERT_EQ(M->Users().Count(), 3u);
    EXPECT_EQ(M->Users()[0].N(), "anna");
    EXPECT_EQ(M->Users()[1].N(), "Bruno");
    M->AddUserToGroup("dario", "Casa");
    M->AddUserToGroup("anna", "casa"); // the group of any case is reused
    ASSERT_EQ(M->Groups().Count(), 1u);
    EXPECT_EQ(M->Groups()[0].U().Count(), 2u);
    EXPECT_EQ(M->Users().Count(), 4u);

    TUserItem& bruno = *M->Users().Find("Bruno");
    EXPECT_THROW(M->ChangeUser(bruno, "anna", ""), EQvError);
    try {
        M->ChangeUser(bruno, "anna", "");
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "Impossibile modificare l'utente anna è già presente!");
    }
    TUserItem& dario = *M->Users().Find("dario");
    M->ChangeUser(dario, "Dario Rossi", "vicino");
    EXPECT_NE(M->Groups()[0].U().Find("Dario Rossi"), nullptr);
    EXPECT_EQ(M->Groups()[0].U().Find("Dario Rossi")->D(), "vicino");
    TGroupItem& ufficio = M->FindOrAddGroup("Ufficio", "");
    try {
        M->ChangeGroup(ufficio, "Casa", "", {});
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "Impossibile modificare il gruppo Casa è già presente!");
    }

    TPopupRules rules(Ctx.Services, *M);
    EXPECT_FALSE(rules.SaveUser(nullptr, "  ", ""));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "I dati non sono corretti!\r\rManca il nome del contatto");
    EXPECT_FALSE(rules.SaveGroup(nullptr, "casa", "", {}));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "I dati non sono corretti!\r\rIl gruppo casa è già presente!");
    EXPECT_TRUE(rules.SaveGroup(nullptr, "Amici", "", {"carla", "enzo"}));
    EXPECT_EQ(M->FindGroup("amici")->U().Count(), 2u);
}

TEST_F(TPopup, ToEveryUserAGroupOrOneWithTheSignatureAndTheOutcome)
{
    M->AddUser("anna", "");
    M->AddUser("bruno", "");
    M->AddUserToGroup("carla", "Casa");
    M->OnAddSignature = [](std::string& s) { s += "\r\n-- Quorvanta"; };
    int sent = 0, failed = 0;
    M->OnSentMsg = [&](TMsgItem&) { ++sent; };
    M->OnSentErrorMsg = [&](TMsgItem&) { ++failed; };
    M->SendMsg(Now("*", "Pranzo!", true));
    EXPECT_EQ(M->Msgs().Count(), 3u); // one per user, each its own entry
    M->SendMsg(Now("nessuno", "?", true));
    EXPECT_EQ(Errors.back(), "Il gruppo nessuno non esiste!");
    Seconds(2);
    EXPECT_EQ(sent, 3);
    EXPECT_EQ(Fake->Count(), 3u);
    EXPECT_EQ(Fake->Sent[0].second, "Pranzo!\r\n-- Quorvanta");
    for (auto& m : M->Msgs()) {
        EXPECT_EQ(m->Stato(), msSent);
        EXPECT_EQ(m->SentTimes(), 1);
    }

    Fake->Status = 2273;
    M->SendMsg(Now("Casa", "Ciao", true));
    Seconds(2);
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(Errors.back(), "Impossibile inviare il messaggio a carla: Il nome dell'utente specificato non è stato trovato");
    EXPECT_EQ(M->MsgsByState(msError).front()->ErrorCode(), 2273);
    // A status outside the table: the text ends after the colon.
    Fake->Status = 1234;
    M->SendMsg(Now("anna", "x"));
    Seconds(2);
    EXPECT_EQ(Errors.back(), "Impossibile inviare il messaggio a anna: ");
}

TEST_F(TPopup, AMessageOneMinuteAheadGoesWithinASecondOfFallingDue)
{
    TPopupRules rules(Ctx.Services, *M);
    const double now = Ctx.Time.Now();
    EXPECT_FALSE(rules.Schedule("anna", false, "tra poco", now, now - 60 * OneSecond, false));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Impossibile inviare il messaggio... l'orario di invio è già trascorso!");
    ASSERT_TRUE(rules.Schedule("anna", false, "tra poco", now, now + 60 * OneSecond, false));
    EXPECT_EQ(TPopupRules::NextSendText(now + 60 * OneSecond), "9 dicembre 2026 22:01:00");
    Seconds(59);
    EXPECT_EQ(M->Msgs()[0].Stato(), msToSend);
    Seconds(2);
    EXPECT_EQ(M->Msgs()[0].Stato(), msSent);
    EXPECT_FALSE(rules.SendNow(" ", false, "x"));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Se metti un destinatario... magari!");
    EXPECT_FALSE(rules.SendNow("anna", false, ""));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Se non è troppo disturbo compila il messaggino... magari!");
}

TEST_F(TPopup, DailyMessagesAt23AndAt08ScheduledAt22)
{
    TPopupRules rules(Ctx.Services, *M);
    const double now = Ctx.Time.Now(); // 22:00
    EXPECT_DOUBLE_EQ(rules.NextSend(now, EncodeTime(23, 0, 0, 0), true), At(2026, 12, 9, 23));
    EXPECT_DOUBLE_EQ(rules.NextSend(now, EncodeTime(8, 0, 0, 0), true), At(2026, 12, 10, 8));
    ASSERT_TRUE(rules.Schedule("anna", false, "buonanotte", now, EncodeTime(23, 0, 0, 0), true));
    ASSERT_TRUE(rules.Schedule("bruno", false, "buongiorno", now, EncodeTime(8, 0, 0, 0), true));
    // The 23:00 one makes today's message at once; the 08:00 one waits for tomorrow.
    ASSERT_EQ(M->MsgsByState(msToSend).size(), 1u);
    EXPECT_EQ(M->MsgsByState(msToSend)[0]->Dest(), "anna");
    EXPECT_DOUBLE_EQ(M->MsgsByState(msToSend)[0]->DataInvio(), At(2026, 12, 9, 23));
    Seconds(3601);
    EXPECT_EQ(M->MsgsByState(msSent).size(), 1u);
    // The day change makes today's instances of both: 08:00 and 23:00 are still ahead.
    Ctx.Time.SetNow(At(2026, 12, 10, 0, 0, 5));
    M->DailyUpkeep();
    std::vector<std::string> due;
    for (const TMsgItem* m : M->MsgsByState(msToSend))
        due.push_back(m->Dest() + " " + FormatDateTime("hh:nn", m->DataInvio()));
    std::sort(due.begin(), due.end());
    EXPECT_EQ(due, (std::vector<std::string>{"anna 23:00", "bruno 08:00"}));
    M->DailyUpkeep(); // once a day
    EXPECT_EQ(M->MsgsByState(msToSend).size(), 2u);
}

TEST_F(TPopup, DeletionsKeepWhatIsBeingSentAndClosingMarksItFailed)
{
    M->AddUser("anna", "");
    Fake->Hold = true;
    M->SendMsg(Now("anna", "uno"));
    TMsgData later = Now("anna", "due");
    later.DataInvio += 1;
    M->SendMsg(later);
    Ctx.Time.Advance(1000);
    for (int i = 0; i < 200 && Fake->Count() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(M->CountByState(msSending), 1);
    TPopupRules rules(Ctx.Services, *M);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    ASSERT_TRUE(rules.DeleteUser("ANNA"));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Eliminare il contatto ANNA e tutti i suoi messaggi?");
    ASSERT_EQ(M->Msgs().Count(), 1u); // the one on its way stays
    EXPECT_EQ(M->Msgs()[0].Msg(), "uno");
    EXPECT_FALSE(rules.DeleteList(msSending));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "I messaggi in fase di invio non si possono cancellare!");

    // Closing while it is on its way: the send is stopped and the message stays a failure.
    M.reset();
    TMessenger again(Ctx.Services, nullptr);
    again.ReadFromBytes(Ctx.Files.Files.at("/data/Popup.dat"));
    ASSERT_EQ(again.Msgs().Count(), 1u);
    EXPECT_EQ(again.Msgs()[0].Stato(), msError);
    EXPECT_FALSE(again.IsActive());
    again.SendMsg(Now("anna", "spento"));
    EXPECT_EQ(again.Msgs().Count(), 1u); // without a transport nothing is queued
}

TEST_F(TPopup, TheSignatureOfTheProfile)
{
    TAgenda agenda(Ctx.Services);
    agenda.ResetDays();
    TSettings settings(Ctx.Services);
    TProfileItem& p = settings.Profiles().Add();
    EXPECT_EQ(PopupSignature(&p, agenda), "");
    p.SetSignature("Mario");
    EXPECT_EQ(PopupSignature(&p, agenda), "\r\nMario");
    p.SetAttachMurphy(true);
    const std::string s = PopupSignature(&p, agenda);
    EXPECT_EQ(s.rfind("\r\n", 0), 0u);
    EXPECT_GT(s.size(), std::string("\r\n\r\nMario").size());
    EXPECT_EQ(s.substr(s.size() - 7), "\r\nMario");
    EXPECT_EQ(PopupErrorText(50), "Richiesta di rete non supportata");
    EXPECT_EQ(PopupErrorText(1), "");
}
