// The SMS stores and the gateways' file formats: messages reused by text, contacts named and
// grouped, messages broken by a crash, the contact text, the gateway INI and the two foreign formats.
#include "SmsStores.h"

#include "core/Strings.h"
#include "sms/Gateways.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

struct TStores : testing::Test, TSmsStores
{
};

} // namespace

TEST_F(TStores, ContactsAndTheirMessages)
{
    TSmsNumbersItem& anna = Book.AddContact("39", "338", "1234567", "anna", "Amici", "");
    Book.AddContact("39", "347", "7654321", "Bruno", "", "");
    TSmsNumbersItem& blank = Book.AddContact("39", "333", "1111111", " ", "", "");
    EXPECT_EQ(blank.N(), "0393331111111");
    EXPECT_EQ(blank.B(), "<senza nome>");
    ASSERT_EQ(Book.SmsNumbers().Count(), 3u);
    EXPECT_EQ(Book.SmsNumbers()[0].N(), "0393331111111");
    EXPECT_EQ(Book.SmsNumbers()[1].N(), "anna");
    EXPECT_EQ(anna.DisplayWithNumber(), "anna [03381234567]");

    // The same text, in another case and with blanks, is the same message.
    TSmsMsgItem& first = Sms.FindOrAddMessage(anna, "Ciao");
    TSmsMsgItem& again = Sms.FindOrAddMessage(anna, "  CIAO ");
    EXPECT_EQ(&first, &again);
    EXPECT_EQ(first.R(), "anna");
    EXPECT_EQ(first.NumberKey(), "393381234567");
    EXPECT_EQ(first.NumberDisplay(), "0338 1234567");
    EXPECT_EQ(first.DateText(), "...");
    EXPECT_EQ(Book.MessagesOf(anna).size(), 1u);

    // A contact whose number was stored whole reads split.
    TSmsNumbersItem& whole = Book.AddContact("", "", "393471234567", "Carla", "", "");
    EXPECT_EQ(whole.P(), "1234567");
    EXPECT_EQ(whole.Q(), "39");
    EXPECT_EQ(whole.R(), "347");

    // Renamed: to its new sorted place.
    Book.ChangeContact(anna, "39", "338", "1234567", "Zeno", "Amici", "");
    EXPECT_EQ(Book.SmsNumbers()[Book.SmsNumbers().Count() - 1].N(), "Zeno");
    Book.DeleteContact(anna, true);
    EXPECT_EQ(Sms.SmsMsg().Count(), 0u);
}

TEST_F(TStores, AMessageLeftSendingIsBrokenAfterTheNextLoad)
{
    TSmsNumbersItem& c = Book.AddContact("39", "338", "1234567", "anna", "", "");
    TSmsMsgItem& m = Sms.FindOrAddMessage(c, "a");
    m.SetK(ssSending);
    TSmsMsgItem& q = Sms.FindOrAddMessage(c, "b");
    q.SetK(ssToSend);
    EXPECT_TRUE(Sms.HasOutgoing());
    const TBytes bytes = Sms.WriteToBytes();
    TSmsData loaded(Ctx.Services);
    loaded.ReadFromBytes(bytes);
    loaded.AfterLoad();
    EXPECT_EQ(loaded.SmsMsg()[0].K(), ssError);
    EXPECT_EQ(loaded.SmsMsg()[0].E(), "Procedura di invio interrotta bruscamente!");
    EXPECT_EQ(loaded.CountToSend(), 1);
}

TEST_F(TStores, TheContactTextSkipsLinesWithLettersInTheNumbers)
{
    TTempDir dir;
    WriteFile(dir / "c.txt", "Anna\t39\t338\t1234567\r\nBruno\t39\t34x\t7654321\r\nCarla\t39\t347\t2222222\r\n\r\n");
    EXPECT_EQ(Book.ImportContacts(dir / "c.txt", ""), 2);
    EXPECT_EQ(Book.SmsNumbers()[0].B(), "Importati");
    Book.ExportContacts(dir / "out.txt");
    EXPECT_EQ(ReadFile(dir / "out.txt"), "Anna \t39\t338\t1234567\r\nCarla\t39\t347\t2222222\r\n");
    Book.SaveAsText(dir / "rubrica.txt");
    EXPECT_EQ(ReadFile(dir / "rubrica.txt"), "+39 03381234567\tAnna \t\r\n+39 03472222222\tCarla\t\r\n");
}

TEST_F(TStores, GatewayFilesOfOursAndOfTwoOtherPrograms)
{
    // A section that cannot be used is left out with why: no host, a port or a length out of range,
    // no name.
    EXPECT_EQ(Gateways.ImportIniText("[Uno]\r\nHostAddress=sms.example.org\r\nCommandSend=/a?b=<Msg>\r\n"
                                     "SuccessSend=OK\r\n[Senza host]\r\nPort=8080\r\n[Tre]\r\nHostAddress=x.example\r\n"
                                     "Port=70000\r\n[Quattro]\r\nHostAddress=x.example\r\nMaxLength=0\r\n"
                                     "[]\r\nHostAddress=x.example\r\n[Due]\r\nHostAddress=https://y.example\r\n"
                                     "Port=8080\r\nMaxLength=70\r\n"),
              2);
    EXPECT_EQ(Gateways.Refused, (std::vector<std::string>{"«Senza host»: manca l'host",
                                                          "«Tre»: la porta deve essere tra 1 e 65535",
                                                          "«Quattro»: la lunghezza massima deve essere almeno 1",
                                                          "«»: manca il nome"}));
    EXPECT_EQ(Gateways.GateWays()[0].Port(), 80);
    EXPECT_EQ(Gateways.GateWays()[0].MaxLength(), 160);
    EXPECT_EQ(Gateways.GateWays()[1].Port(), 8080);
    TTempDir dir;
    Gateways.ExportIni(dir / "gw.txt");
    TGateWayData again(Ctx.Services, Net, Settings, Sms);
    EXPECT_EQ(again.ImportIni(dir / "gw.txt"), 2);
    EXPECT_EQ(again.GateWays()[0].CommandSend(), "/a?b=<Msg>");
    EXPECT_EQ(again.GateWays()[1].MaxLength(), 70);

    // "settings.cfg": a lower-case httppost section is taken, one without #mode is not.
    TGateWayData cfg(Ctx.Services, Net, Settings, Sms);
    EXPECT_EQ(cfg.ImportSettingsCfgText("[Tim]\n#mode=httppost\n#address=www.tim.example\n#page=/sms.php\n"
                                        "num=<intpref><oppref><number>\nmsg=<text>\nfrom=<sender>\n#okstring=ok\n"
                                        "[Nessuno]\n#address=x.example\n"),
              1);
    const TGateWayItem& tim = cfg.GateWays()[0];
    EXPECT_EQ(tim.Nome(), "Tim");
    EXPECT_EQ(tim.Descrizione(), "By Zantor");
    EXPECT_EQ(tim.CommandSend(), "/sms.php?num=<PrefixInt><PrefixLoc><Number>&msg=<Msg>&from=me");
    EXPECT_EQ(tim.MaxLength(), 999);

    // "webgate.ini": fields ended by "*", stars inside "*<<" ">>*" kept as data.
    TGateWayData web(Ctx.Services, Net, Settings, Sms);
    EXPECT_EQ(web.ImportWebgateText("Omni*Referer: http://r.example/a\xC3\x97x*http://gw.example:81/cgi/send*81*x*"
                                    "n=%i%p%n&t=%b&f=%m*inviato*x*Un gateway*?*\n"
                                    "Rotto*x*\n"
                                    "*Referer: *http://y.example/*80*x*a=%b*ok*x*senza nome*100*\n"),
              1);
    const TGateWayItem& omni = web.GateWays()[0];
    EXPECT_EQ(omni.HostAddress(), "gw.example");
    EXPECT_EQ(omni.ReferenceURL(), "http://r.example/a");
    EXPECT_EQ(omni.Port(), 81);
    EXPECT_EQ(omni.CommandSend(), "cgi/send?n=<PrefixInt><PrefixLoc><Number>&t=<Msg>&f=me");
    EXPECT_EQ(omni.MaxLength(), 999);
    EXPECT_EQ(omni.Descrizione(), "Un gateway");
    EXPECT_EQ(Gateways.ImportForeign(dir / "altro.ini", false), 0);
}

TEST(SmsText, TheEncodingOfTheText)
{
    EXPECT_EQ(EncodeSmsText("a b&c=d%e+f"), "a+b%26c%3Dd%25e%2Bf");
    EXPECT_EQ(EncodeSmsText("€ £ ° ç è"), "%80+%A3+%B0+%E7+è");
    EXPECT_EQ(EncodeSmsText("?;$/\\\"'^@#*"), "%3F%3B%24%2F%5C%22%27%5E%40%23%2A");
    EXPECT_EQ(EncodeSmsText("a\r\nb\rc\nd<>"), "a%0D%0Ab%0Dc\nd<>");
}

TEST_F(TStores, AnImportPutsEachContactWhereAnInsertionWouldAndATextKeepsItsCharacters)
{
    Book.AddContact("39", "338", "1000001", "Bruno", "", "");
    Book.AddContact("39", "338", "1000002", "dario", "", "");
    Book.AddContact("39", "338", "1000003", "Zeno", "", "");
    TTempDir dir;
    const std::string lines = "carla\t39\t347\t1\r\nAnna\t39\t347\t2\r\nbruno\t39\t347\t3\r\nEmma\t39\t347\t4\r\n"
                              "\t39\t347\t5\r\nanna\t39\t347\t6\r\n";
    WriteFile(dir / "c.txt", lines);
    // The same contacts added one by one, as the window does.
    TSmsStores one;
    for (const auto& [n, name] : std::vector<std::pair<std::string, std::string>>{
             {"1000001", "Bruno"}, {"1000002", "dario"}, {"1000003", "Zeno"}})
        one.Book.AddContact("39", "338", n, name, "", "");
    for (const auto& [n, name] : std::vector<std::pair<std::string, std::string>>{
             {"1", "carla"}, {"2", "Anna"}, {"3", "bruno"}, {"4", "Emma"}, {"5", ""}, {"6", "anna"}})
        one.Book.AddContact("39", "347", n, name, "Importati", "");
    EXPECT_EQ(Book.ImportContacts(dir / "c.txt", ""), 6);
    ASSERT_EQ(Book.SmsNumbers().Count(), one.Book.SmsNumbers().Count());
    for (std::size_t i = 0; i < Book.SmsNumbers().Count(); ++i) {
        EXPECT_EQ(Book.SmsNumbers()[i].N(), one.Book.SmsNumbers()[i].N()) << i;
        EXPECT_EQ(Book.SmsNumbers()[i].P(), one.Book.SmsNumbers()[i].P()) << i;
        EXPECT_EQ(Book.SmsNumbers()[i].B(), one.Book.SmsNumbers()[i].B()) << i;
    }

    // A text with characters the Windows code page lacks is stored as typed, and those characters
    // are the ones named before sending.
    TSmsMsgItem& m = Sms.FindOrAddMessage(Book.SmsNumbers()[0], "Fatto ✓ 😀 a 5 € è");
    EXPECT_EQ(NotInCp1252(m.T()), "✓😀");
    EXPECT_EQ(NotInCp1252("Caffè 5 € “sì”"), "");
    TSmsData loaded(Ctx.Services);
    loaded.ReadFromBytes(Sms.WriteToBytes());
    EXPECT_EQ(loaded.SmsMsg()[0].T(), "Fatto ✓ 😀 a 5 € è");
}

TEST(GatewayTexts, SitesPlaceholdersAndTheAccountInAForm)
{
    using S = THttpSite;
    EXPECT_EQ(ParseSite("sms.example.org", 80), (S{"http", "sms.example.org", 80}));
    EXPECT_EQ(ParseSite("https://sms.example.org", 80), (S{"https", "sms.example.org", 443}));
    EXPECT_EQ(ParseSite("HTTPS://sms.example.org/invia/", 8443), (S{"https", "sms.example.org", 8443}));
    EXPECT_EQ(ParseSite("http://sms.example.org:8080", 80), (S{"http", "sms.example.org", 8080}));
    EXPECT_EQ(ParseSite(" https://[::1]:4443 ", 80), (S{"https", "[::1]", 4443}));
    EXPECT_EQ(ParseSite("ftp://x.example", 21).Scheme, "ftp");
    // One pass: a value is never searched for placeholders again.
    EXPECT_EQ(FillPlaceholders("m=<Msg>&p=<Password>&u=<UserName>",
                               {{"<Msg>", "<Password>+<UserName>"}, {"<Password>", "x"}, {"<UserName>", "y"}}),
              "m=<Password>+<UserName>&p=x&u=y");
    EXPECT_EQ(FillPlaceholders("<Msg", {{"<Msg>", "z"}}), "<Msg");
    EXPECT_EQ(EncodeSmsText("a&b+c%d e"), "a%26b%2Bc%25d+e");
}
