// The SMS window's rules with scripted answers: the tree and its folders, the queue button, the
// deletions and their questions, groups and contacts renamed and moved, the contact dialog's checks,
// the compose dialog (gateway, limit, recipients, send and queue), and the gateway editor with the
// settings page's commands.
#include "SmsStores.h"
#include "app/SettingsSession.h"
#include "sms/GatewayEditor.h"
#include "sms/SmsRules.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

struct TSmsWindow : testing::Test, TSmsStores
{
    TProfileItem* Profile = nullptr;
    bool Online = true;
    std::vector<std::string> Sounds, Help;
    std::vector<TSmsMsgItem*> SentNow;
    std::vector<std::string> Opened;
    int AccountAsked = 0;
    std::unique_ptr<TSmsRules> Rules;

    void SetUp() override
    {
        Profile = &Settings.Profiles().Add();
        Profile->SetUserName("Mario");
        TSmsHooks h;
        h.PlaySound = [this](const std::string& s) { Sounds.push_back(s); };
        h.IsOnlineOrAsk = [this](bool) { return Online; };
        h.SendNow = [this](TSmsMsgItem& m, bool) {
            m.SetK(ssToSend);
            SentNow.push_back(&m);
        };
        h.Profile = [this] { return Profile; };
        h.ShowHelp = [this](const std::string& t) { Help.push_back(t); };
        h.OpenAccount = [this](TGateWayItem&) {
            ++AccountAsked;
            return false;
        };
        h.OpenFile = [this](const std::string& f) { Opened.push_back(f); };
        Rules = std::make_unique<TSmsRules>(Ctx.Services, Sms, Book, Gateways, h);
    }
    TGateWayItem& Gateway(const std::string& name, int maxLength = 160)
    {
        TGateWayItem& g = Gateways.Add(name);
        g.SetHostAddress("127.0.0.1");
        g.SetCommandSend("/send?t=<Msg>");
        g.SetMaxLength(maxLength);
        return g;
    }
    const std::string& LastText() const { return Ctx.Prompter.Shown.back().Text; }
};

} // namespace

TEST_F(TSmsWindow, TheTreeShowsEveryGroupAndPutsContactsWithoutOneUnderAmichetti)
{
    Book.SetGroups({"Lavoro"});
    Book.AddContact("39", "338", "1111111", "anna", "Casa", "");
    TSmsNumbersItem& bruno = Book.AddContact("39", "347", "2222222", "bruno", "", "");
    const std::vector<std::string> groups = Rules->TreeGroups();
    EXPECT_EQ(groups, (std::vector<std::string>{"Lavoro", "Casa", "Amichetti"}));
    EXPECT_EQ(Book.Groups(), groups);
    EXPECT_EQ(bruno.B(), "Amichetti");
    EXPECT_TRUE(Rules->ContactsOf("Lavoro").empty());

    TSmsMsgItem& a = Sms.FindOrAddMessage(bruno, "uno");
    a.SetK(ssToSend);
    Sms.FindOrAddMessage(bruno, "due").SetK(ssSending);
    Sms.FindOrAddMessage(bruno, "tre").SetK(ssError);
    EXPECT_EQ(Rules->FolderCaption(TSmsFolder::ToSend), "Da inviare [1]");
    EXPECT_EQ(Rules->FolderCaption(TSmsFolder::Sending), "In uscita [1]");
    EXPECT_EQ(Rules->FolderCaption(TSmsFolder::Sent), "Inviati");
    EXPECT_EQ(Rules->FolderMessages(TSmsFolder::Errors).size(), 1u);
    EXPECT_EQ(Rules->GroupMessages("Amichetti").size(), 3u);
    EXPECT_EQ(Rules->GroupMessages("Casa").size(), 0u);
    EXPECT_EQ(Rules->ContactOf(a), &bruno);
}

TEST_F(TSmsWindow, TheQueueButtonAsksAndSends)
{
    Rules->SendQueueNow();
    EXPECT_EQ(LastText(), "Non ci sono messaggi da inviare");
    TSmsNumbersItem& c = Book.AddContact("39", "338", "1111111", "anna", "", "");
    TSmsMsgItem& m = Sms.FindOrAddMessage(c, "ciao");
    m.SetK(ssToSend);
    m.SetG(5); // no such gateway: the dispatch fails it at once
    Sms.Dispatch = [this](TSmsMsgItem& msg) { Gateways.SendSms(msg); };
    Ctx.Prompter.SetNextAnswer(TModalResult::mrNo);
    EXPECT_FALSE(Rules->SendQueueNow());
    EXPECT_EQ(LastText(), "I messaggi da inviare sono: 1\r\rVuoi inviarli adesso?");
    EXPECT_EQ(m.K(), ssToSend);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(Rules->SendQueueNow());
    EXPECT_EQ(m.K(), ssError);
    EXPECT_EQ(m.E(), "L'indice GateWay 5 non esiste!");
}

TEST_F(TSmsWindow, DeletionsAskAndNeverTouchMessagesBeingSent)
{
    TSmsNumbersItem& c = Book.AddContact("39", "338", "1111111", "anna", "", "");
    TSmsMsgItem& sending = Sms.FindOrAddMessage(c, "in viaggio");
    sending.SetK(ssSending);
    TSmsMsgItem& old = Sms.FindOrAddMessage(c, "vecchio");
    EXPECT_FALSE(Rules->DeleteSelected({&sending, &old})); // default answer: No
    EXPECT_EQ(LastText(), "Eliminare i messaggi selezionati? [2]");
    EXPECT_EQ(Sms.SmsMsg().Count(), 2u);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(Rules->DeleteSelected({&sending, &old}));
    ASSERT_EQ(Sms.SmsMsg().Count(), 1u);
    EXPECT_EQ(&Sms.SmsMsg()[0], &sending);

    Rules->DeleteList(Rules->FolderMessages(TSmsFolder::Sending), "In uscita [1]");
    EXPECT_EQ(LastText(), "Eliminare tutti i messaggi contenuti nella lista «In uscita [1]»?");
    Rules->DeleteContactMessages(c);
    EXPECT_EQ(LastText(), "Sicuro di voler eliminare tutti i messaggi di anna?");

    // The three answers of a contact's deletion.
    TSmsNumbersItem& b = Book.AddContact("39", "347", "2222222", "bruno", "", "");
    Sms.FindOrAddMessage(b, "x");
    Ctx.Prompter.SetNextAnswer(TModalResult::mrCancel);
    EXPECT_FALSE(Rules->DeleteContact(b));
    EXPECT_EQ(LastText(), "Eliminare il contatto bruno e i suoi messaggi?\r\r«Sì» elimina il contatto con tutti i "
                          "suoi messaggi\r«No» elimina il contatto senza cancellare i suoi messaggi\r«Annulla» c'ho "
                          "ripensato...");
    EXPECT_EQ(Book.SmsNumbers().Count(), 2u);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrNo);
    EXPECT_TRUE(Rules->DeleteContact(b));
    EXPECT_EQ(Book.SmsNumbers().Count(), 1u);
    EXPECT_EQ(Sms.SmsMsg().Count(), 2u);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(Rules->DeleteContact(c));
    EXPECT_EQ(Sms.SmsMsg().Count(), 2u); // the one being sent stays, and bruno's
}

TEST_F(TSmsWindow, GroupsAreRenamedMovedIntoAndDeletedOnlyWhenEmpty)
{
    TSmsNumbersItem& anna = Book.AddContact("39", "338", "1111111", "anna", "Casa", "");
    Rules->TreeGroups();
    EXPECT_EQ(Rules->NewGroup(), "<nuovo gruppo>");
    EXPECT_EQ(Rules->NewGroup(), "<nuovo gruppo 2>");
    EXPECT_FALSE(Rules->RenameGroup("<nuovo gruppo>", "  "));
    EXPECT_FALSE(Rules->RenameGroup("<nuovo gruppo>", "Casa")); // in use: refused silently
    EXPECT_TRUE(Rules->RenameGroup("<nuovo gruppo>", "Lavoro"));
    EXPECT_TRUE(Rules->RenameGroup("Casa", "Famiglia"));
    EXPECT_EQ(anna.B(), "Famiglia");
    const auto shown = Ctx.Prompter.Shown.size();

    EXPECT_FALSE(Rules->DeleteGroup("Famiglia"));
    EXPECT_EQ(LastText(), "Per eliminare il gruppo occorre spostare o eliminare tutti i contatti che vi appartengono!");
    EXPECT_EQ(shown + 1, Ctx.Prompter.Shown.size());

    // Dragged: moved; with Ctrl a copy in the other group.
    TSmsNumbersItem* copy = Rules->DropContact(anna, "Lavoro", true);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->B(), "Lavoro");
    EXPECT_EQ(anna.B(), "Famiglia");
    EXPECT_EQ(Book.SmsNumbers().Count(), 2u);
    Rules->DropContact(anna, "<nuovo gruppo 2>", false);
    EXPECT_EQ(anna.B(), "<nuovo gruppo 2>");
    EXPECT_TRUE(Rules->DeleteGroup("Famiglia"));
    EXPECT_EQ(Rules->TreeGroups(), (std::vector<std::string>{"Lavoro", "<nuovo gruppo 2>"}));

    EXPECT_FALSE(Rules->RenameContact(anna, ""));
    EXPECT_TRUE(Rules->RenameContact(anna, "Zoe"));
    EXPECT_EQ(Book.SmsNumbers()[1].N(), "Zoe");
}

TEST_F(TSmsWindow, TheEndOfTheSendsSoundsOnce)
{
    TSmsNumbersItem& c = Book.AddContact("39", "338", "1111111", "anna", "", "");
    TSmsMsgItem& m = Sms.FindOrAddMessage(c, "a");
    Rules->Tick();
    m.SetK(ssSending);
    Rules->Tick();
    EXPECT_TRUE(Sounds.empty());
    m.SetK(ssSent);
    Rules->Tick();
    Rules->Tick();
    EXPECT_EQ(Sounds, std::vector<std::string>{"MsgEnd"});
}

TEST_F(TSmsWindow, TheAnswerIsWrittenForTheBrowserAndRemovedAfterwards)
{
    TSmsNumbersItem& c = Book.AddContact("39", "338", "1111111", "anna", "", "");
    TSmsMsgItem& m = Sms.FindOrAddMessage(c, "a");
    m.SetResultHTTP("<html>Messaggio inviato è</html>");
    Ctx.Time.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(10, 5, 7, 0));
    const std::string first = Rules->TranslateAnswer(m, "/run/user/1000/quorvanta");
    EXPECT_EQ(first, "/run/user/1000/quorvanta/@070510091220" "26ResultSms.htm");
    const TBytes bytes = Ctx.Files.ReadAll(first);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "<html>Messaggio inviato \xE8</html>");
    EXPECT_EQ(Opened, std::vector<std::string>{first});
    Ctx.Time.Advance(1000);
    const std::string second = Rules->TranslateAnswer(m, "/run/user/1000/quorvanta/");
    EXPECT_NE(first, second);
    EXPECT_FALSE(Ctx.Files.Exists(first));
    Rules->ForgetTranslation();
    EXPECT_FALSE(Ctx.Files.Exists(second));
}

TEST_F(TSmsWindow, TheContactDialogRefusesBadNumbersAndAsksAboutALeadingZero)
{
    TSmsRules::TContactForm f = Rules->ContactForm(nullptr, "Casa");
    EXPECT_EQ(f.PrefixInt, "39");
    EXPECT_EQ(f.Group, "Casa");
    f.PrefixLoc = "338";
    EXPECT_EQ(Rules->SaveContact(nullptr, f), nullptr);
    EXPECT_EQ(LastText(), "I dati non sono corretti!\r\rI seguenti campi sono obbligatori: \r- Numero");
    f.Number = "12a4567";
    EXPECT_EQ(Rules->SaveContact(nullptr, f), nullptr);
    EXPECT_EQ(LastText(), "I dati non sono corretti!\r\rI numeri inseriti non sono numeri!!!");
    f.Number = " 1234567 ";
    f.PrefixInt = "0039";
    EXPECT_EQ(Rules->SaveContact(nullptr, f), nullptr);
    EXPECT_EQ(LastText(), "I dati non sono corretti!\r\rIl prefisso internazionale deve essere inserito senza zero!"
                          "\r\rEsempio: 39");
    f.PrefixInt = "39";
    f.PrefixLoc = "0338";
    Ctx.Prompter.SetNextAnswer(TModalResult::mrNo);
    EXPECT_EQ(Rules->SaveContact(nullptr, f), nullptr);
    EXPECT_EQ(Ctx.Prompter.Shown[Ctx.Prompter.Shown.size() - 2].Text.substr(0, 47),
              "Il prefisso locale deve essere inserito senza z");
    EXPECT_EQ(LastText(), "I dati non sono corretti!\r\rIl prefisso locale deve essere inserito senza zero!\r\r"
                          "Esempio: 338");
    EXPECT_EQ(Book.SmsNumbers().Count(), 0u);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    TSmsNumbersItem* c = Rules->SaveContact(nullptr, f);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->P(), "1234567");
    EXPECT_EQ(c->R(), "0338");
    EXPECT_EQ(c->N(), "0390338" "1234567");

    // Modify: the same contact, moved to its sorted place.
    Book.AddContact("39", "347", "2222222", "bruno", "", "");
    f = Rules->ContactForm(c, "");
    f.PrefixLoc = "338";
    f.Name = "zeno";
    EXPECT_EQ(Rules->SaveContact(c, f), c);
    EXPECT_EQ(Book.SmsNumbers()[1].N(), "zeno");
}

TEST_F(TSmsWindow, ComposingNeedsContactsAndAGateway)
{
    {
        TSmsCompose compose(*Rules);
        EXPECT_FALSE(compose.CanOpen());
        EXPECT_EQ(LastText(), "La rubrica degli amichetti è vuota!");
    }
    Book.AddContact("39", "338", "1111111", "anna", "", "");
    TSmsCompose compose(*Rules);
    EXPECT_TRUE(compose.CanOpen());
    EXPECT_EQ(compose.InitialGateway(), -1);
    EXPECT_EQ(Help, std::vector<std::string>{"sms-nessun-gateway"});
    EXPECT_EQ(compose.Limit(-1), 0);
    EXPECT_FALSE(compose.CanQueue(-1));
    EXPECT_FALSE(compose.Execute(false, -1, "ciao"));

    Gateway("Uno").SetDescrizione("gratis");
    Gateway("Due", 10);
    Profile->SetLastGateway(1);
    EXPECT_EQ(compose.InitialGateway(), 1);
    Profile->SetLastGateway(2);
    EXPECT_EQ(compose.InitialGateway(), 0);
    EXPECT_EQ(compose.GatewayHint(0), "Per l'invio utilizza Uno\rgratis");
    const std::string long170(170, 'x');
    EXPECT_EQ(compose.Cut(long170, 0), std::string(160, 'x'));
    EXPECT_EQ(compose.Cut("città di là", 1), "città di l");
    EXPECT_EQ(compose.RemainingText("città", 1), "Caratteri a disposizione 5");
    Online = false;
    EXPECT_FALSE(compose.CanSend(0));
    EXPECT_TRUE(compose.CanQueue(0));
}

TEST_F(TSmsWindow, RecipientsArePickedByGroupWithAMixedMark)
{
    TSmsNumbersItem& anna = Book.AddContact("39", "338", "1111111", "anna", "Casa", "mamma");
    TSmsNumbersItem& bruno = Book.AddContact("39", "347", "2222222", "bruno", "Casa", "");
    TSmsNumbersItem& carla = Book.AddContact("39", "333", "3333333", "carla", "", "");
    TSmsCompose compose(*Rules);
    ASSERT_EQ(compose.Tree().size(), 2u);
    EXPECT_EQ(compose.Tree()[1].Name, "Amichetti");
    EXPECT_EQ(compose.HintText(), "<nessun destinatario selezionato>");
    EXPECT_EQ(compose.TitleText(), "Destinatari [0]");
    compose.SetPicked(&bruno, true);
    EXPECT_EQ(compose.GroupState("Casa"), 1);
    compose.ToggleGroup("Casa");
    EXPECT_EQ(compose.GroupState("Casa"), 2);
    EXPECT_EQ(compose.HintText(), "Destinatari del messaggino: 2\ranna [03381111111] - mamma\rbruno [03472222222]");
    compose.ToggleGroup("Casa");
    EXPECT_EQ(compose.GroupState("Casa"), 0);
    // A message selected in the window picks its contact.
    TSmsMsgItem& m = Sms.FindOrAddMessage(carla, "x");
    compose.Preselect(nullptr, "", &m);
    EXPECT_TRUE(compose.Picked(&carla));
    compose.Preselect(nullptr, "Casa", nullptr);
    EXPECT_EQ(compose.TitleText(), "Destinatari [3]");
    EXPECT_EQ(compose.PickedContacts(), (std::vector<TSmsNumbersItem*>{&anna, &bruno, &carla}));
}

TEST_F(TSmsWindow, SendAndQueueCheckTheGatewayTheTextAndTheRecipients)
{
    TSmsNumbersItem& anna = Book.AddContact("39", "338", "1111111", "anna", "Casa", "");
    TSmsNumbersItem& bruno = Book.AddContact("39", "347", "2222222", "bruno", "Casa", "");
    TGateWayItem& empty = Gateways.Add("Vuoto");
    Gateway("Uno", 160);
    TGateWayItem& login = Gateway("Conto");
    login.SetKind(gkLogin);
    TSmsCompose compose(*Rules);

    EXPECT_FALSE(compose.Execute(true, 0, "ciao"));
    EXPECT_EQ(LastText(), "Il GateWay Vuoto non è configurato!\r\rControllare che sia stato specificato un comando "
                          "GET per l'invio!");
    (void)empty;
    EXPECT_FALSE(compose.Execute(true, 2, "ciao"));
    EXPECT_EQ(AccountAsked, 1);
    EXPECT_FALSE(compose.Execute(true, 1, "   "));
    EXPECT_EQ(LastText(), "Se non è troppo disturbo compila il messaggino... magari!");
    EXPECT_FALSE(compose.Execute(true, 1, "ciao"));
    EXPECT_EQ(LastText(), "Se mi dici a chi inviare il messaggino... magari!");
    EXPECT_TRUE(Sounds.empty());

    compose.ToggleGroup("Casa");
    EXPECT_TRUE(compose.Execute(false, 1, std::string(170, 'y')));
    EXPECT_EQ(Profile->LastGateway(), 1);
    EXPECT_EQ(Sounds, std::vector<std::string>{"MsgToSend"});
    ASSERT_EQ(Sms.SmsMsg().Count(), 2u);
    EXPECT_EQ(Sms.SmsMsg()[0].T(), std::string(160, 'y'));
    EXPECT_EQ(Sms.SmsMsg()[0].K(), ssToSend);
    EXPECT_EQ(Sms.SmsMsg()[0].G(), 1);
    EXPECT_TRUE(SentNow.empty());

    // The same text again, differing in case: the same records, sent now.
    TSmsCompose again(*Rules);
    again.SetPicked(&anna, true);
    again.SetPicked(&bruno, true);
    EXPECT_TRUE(again.Execute(true, 1, std::string(160, 'Y')));
    EXPECT_EQ(Sms.SmsMsg().Count(), 2u);
    ASSERT_EQ(SentNow.size(), 2u);
    EXPECT_EQ(SentNow[0], &Sms.SmsMsg()[0]);
}

TEST_F(TSmsWindow, TypingSoundsFollowTheProfileSwitch)
{
    Gateway("Uno", 5);
    TSmsCompose compose(*Rules);
    EXPECT_EQ(compose.KeySound(TSmsCompose::TKey::Other, 0, 0), "");
    compose.SetTypingSounds(true);
    EXPECT_TRUE(Profile->SoundTypeOn());
    EXPECT_EQ(compose.KeySound(TSmsCompose::KeyKind(U'a'), 0, 0), "");
    EXPECT_EQ(compose.KeySound(TSmsCompose::KeyKind(U'è'), 0, 0), "");
    EXPECT_EQ(compose.KeySound(TSmsCompose::KeyKind(U'!'), 0, 0), "MsgType");
    EXPECT_EQ(compose.KeySound(TSmsCompose::KeyKind(U'.'), 0, 0), "MsgBack");
    EXPECT_EQ(compose.KeySound(TSmsCompose::KeyKind(U'\b'), 5, 0), "MsgBack");
    EXPECT_EQ(compose.KeySound(TSmsCompose::KeyKind(U'\r'), 0, 0), "MsgBell");
    EXPECT_EQ(compose.KeySound(TSmsCompose::KeyKind(U'a'), 5, 0), "MsgBell");
}

TEST_F(TSmsWindow, TheContactTextIsReportedAndADroppedFileAsked)
{
    TTempDir dir;
    WriteFile(dir / "c.txt", "Anna\t39\t338\t1234567\r\nBruno\t39\t34x\t7654321\r\n");
    EXPECT_EQ(Rules->ImportContacts(dir / "c.txt", "", true), 0); // No to the question
    EXPECT_EQ(LastText(), "Importare gli amichetti presenti in " + (dir / "c.txt") + "?");
    EXPECT_EQ(Rules->ImportContacts(dir / "c.txt", "Casa", false), 1);
    EXPECT_EQ(LastText(), "Importati ben 1 amichetti dal file " + (dir / "c.txt"));
    EXPECT_EQ(Book.SmsNumbers()[0].B(), "Casa");
    EXPECT_TRUE(Rules->SaveAsText(dir / "r.txt"));
    EXPECT_EQ(LastText(), "I contatti sono stati salvati con successo in " + (dir / "r.txt"));
    EXPECT_FALSE(Rules->ExportContacts(dir / "no/such/folder.txt"));
    EXPECT_EQ(LastText().rfind("Impossibile esportare i contatti: \r\r", 0), 0u);
}

// ---- the gateway editor ----

TEST_F(TSmsWindow, TheGatewayEditorListsMissingFieldsAndChecksNumbers)
{
    TGatewayEditor editor(Ctx.Services, Gateways);
    TGatewayEditor::TForm f = editor.NewForm();
    EXPECT_EQ(f.Port, "80");
    EXPECT_EQ(f.MaxLength, "150");
    EXPECT_EQ(f.CommandSend, ExampleTemplate);
    f.Account = true;
    f.CommandRegistration = "login?u=<UserName>";
    std::string focus;
    EXPECT_FALSE(editor.Save(-1, f, &focus));
    EXPECT_EQ(LastText(), "I dati non sono corretti!\r\rI seguenti campi sono obbligatori: \r- Nome\r- Host\r- Nome "
                          "utente\r- Password\r- Risposta di autenticazione riuscita");
    EXPECT_EQ(focus, "Nome");
    f.Nome = "Conto";
    f.HostAddress = "sms.example.org";
    f.UserName = "mario";
    f.Password = "segreta";
    f.SuccessRegistration = "Benvenuto";
    f.MaxLength = "161";
    EXPECT_FALSE(editor.Save(-1, f, &focus));
    EXPECT_EQ(focus, "Lunghezza massima");
    f.MaxLength = "0";
    EXPECT_FALSE(editor.Save(-1, f, &focus));
    f.MaxLength = "160";
    f.Port = "80x";
    EXPECT_FALSE(editor.Save(-1, f, &focus));
    EXPECT_EQ(focus, "Porta");
    EXPECT_EQ(Gateways.GateWays().Count(), 0u);
    f.Port = "8080";
    const std::string host = f.HostAddress;
    f.HostAddress = "ftp://sms.example.org"; // only http and https
    EXPECT_FALSE(editor.Save(-1, f, &focus));
    EXPECT_EQ(focus, "Host");
    EXPECT_EQ(Gateways.GateWays().Count(), 0u);
    f.HostAddress = host;
    EXPECT_TRUE(editor.Save(-1, f, &focus));
    ASSERT_EQ(Gateways.GateWays().Count(), 1u);
    TGateWayItem& g = Gateways.GateWays()[0];
    EXPECT_EQ(g.Kind(), gkLogin);
    EXPECT_EQ(g.Port(), 8080);
    ASSERT_EQ(Settings.GateWayCredentials().Count(), 1u);
    EXPECT_EQ(Settings.GateWayCredentials()[0].UserName(), "mario");

    // A two-request gateway shows as one with an account and is saved as one with a login.
    g.SetKind(gkDouble);
    TGatewayEditor::TForm m = editor.FormOf(0);
    EXPECT_TRUE(m.Account);
    EXPECT_EQ(m.Password, "segreta");
    EXPECT_TRUE(editor.Save(0, m));
    EXPECT_EQ(g.Kind(), gkLogin);
    EXPECT_EQ(editor.RegistrationLink(0), "");
    g.SetRegistrationURL("http://sms.example.org/nuovo");
    EXPECT_EQ(editor.RegistrationLink(0), "Richiedi un account a Conto");
    EXPECT_EQ(TGatewayEditor::Placeholders(false).size(), 4u);
    EXPECT_EQ(TGatewayEditor::Placeholders(true).back(), "<Password>");
}

TEST_F(TSmsWindow, DeletingAGatewayTakesItsAccountAndShiftsTheOthers)
{
    TGatewayEditor editor(Ctx.Services, Gateways);
    Gateway("A");
    Gateway("B");
    Gateway("C");
    Gateways.SetCredentials(Gateways.GateWays()[1], "utenteB", "pb");
    Gateways.SetCredentials(Gateways.GateWays()[2], "utenteC", "pc");
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(editor.Delete(1));
    EXPECT_EQ(LastText(), "Elimina il gateway SMS «B»?");
    ASSERT_EQ(Gateways.GateWays().Count(), 2u);
    TGateWayItem& c = Gateways.GateWays()[1];
    EXPECT_TRUE(Gateways.LoadCredentials(c));
    EXPECT_EQ(c.UserName, "utenteC");
    EXPECT_FALSE(Gateways.LoadCredentials(Gateways.GateWays()[0]));
    EXPECT_EQ(Settings.GateWayCredentials().Count(), 1u);
}

TEST_F(TSmsWindow, TheListDoesNotChangeUnderOutgoingMessages)
{
    TGatewayEditor editor(Ctx.Services, Gateways);
    int closed = 0;
    editor.CloseSmsWindow = [&closed] { ++closed; };
    Gateway("A");
    TSmsNumbersItem& c = Book.AddContact("39", "338", "1111111", "anna", "", "");
    TSmsMsgItem& m = Sms.FindOrAddMessage(c, "x");
    m.SetK(ssToSend);
    EXPECT_FALSE(editor.FactoryReset());
    EXPECT_EQ(LastText(), "Per ripristinare le impostazioni predefinite non devono esserci SMS in uscita!");
    EXPECT_EQ(editor.DropImport("/tmp/webgate.ini"), 0);
    EXPECT_EQ(LastText(), "Per importare il file di gateway SMS non devono esserci SMS in uscita!");
    EXPECT_FALSE(editor.Delete(0));
    EXPECT_EQ(Gateways.GateWays().Count(), 1u);
    EXPECT_EQ(closed, 0);

    m.SetK(ssSent);
    Gateways.SetCredentials(Gateways.GateWays()[0], "u", "p");
    EXPECT_FALSE(editor.FactoryReset()); // No
    EXPECT_EQ(LastText(), "Ripristina le impostazioni predefinite dei gateway SMS?");
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(editor.FactoryReset());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(Gateways.GateWays().Count(), 0u);
    EXPECT_EQ(Settings.GateWayCredentials().Count(), 0u);
}

TEST_F(TSmsWindow, ADroppedFileOfAnotherKindOrUnreadableLeavesTheListAsItWas)
{
    TGatewayEditor editor(Ctx.Services, Gateways);
    Gateway("A");
    TTempDir dir;
    WriteFile(dir / "altro.ini", "[X]\r\n#mode=HTTPPOST\r\n#address=x.example\r\n");
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_EQ(editor.DropImport(dir / "altro.ini"), 0);
    EXPECT_EQ(LastText(), "Importati ben 0 gateway SMS!");
    EXPECT_EQ(Gateways.GateWays().Count(), 1u);
    // A known name that cannot be read: nothing emptied.
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_EQ(editor.DropImport(dir / "settings.cfg"), 0);
    EXPECT_EQ(LastText().rfind("Importazione fallita: ", 0), 0u);
    EXPECT_EQ(Gateways.GateWays().Count(), 1u);
    // A readable one, the old list emptied on Yes.
    WriteFile(dir / "settings.cfg", "[X]\r\n#mode=HTTPPOST\r\n#address=x.example\r\n#page=/s\r\nt=<text>\r\n");
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_EQ(editor.DropImport(dir / "settings.cfg"), 1);
    EXPECT_EQ(LastText(), "Importati ben 1 gateway SMS!");
    ASSERT_EQ(Gateways.GateWays().Count(), 1u);
    EXPECT_EQ(Gateways.GateWays()[0].HostAddress(), "x.example");
}

TEST_F(TSmsWindow, TheAccountDialogWantsBothFields)
{
    TGatewayEditor editor(Ctx.Services, Gateways);
    TGateWayItem& g = Gateway("Conto");
    EXPECT_EQ(TGatewayEditor::AccountText(g), "Se disponi già di un account valido inserisci Nome utente e password "
                                              "altrimenti procurateli sul sito di Conto");
    EXPECT_FALSE(editor.SaveAccount(g, "mario", " "));
    EXPECT_EQ(LastText(), "Occorre specificare sia il Nome utente che la Password!");
    EXPECT_TRUE(editor.SaveAccount(g, "mario", "pw"));
    g.SetKind(gkLogin);
    EXPECT_TRUE(g.HasCredentials());
}
