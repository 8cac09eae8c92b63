// Popup messages from the command line, on the simulated transport: an immediate send waits for
// its outcome, a daily one tells its next send, the lists show them.
#include "CliRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

TEST(CliPopup, SendWaitsForTheOutcomeAndTheListsShowIt)
{
    TTempDir dir;
    const TRun ok = Cli({"--simulate", "--data-dir", dir.Path, "popup", "send", "--to", "anna", "--text", "Ciao"});
    EXPECT_EQ(ok.Code, 0) << ok.Err;
    EXPECT_EQ(ok.Out, "Inviato a anna\n");
    const TRun failed = Cli({"--simulate", "--data-dir", dir.Path, "popup", "send", "--to", "NESSUNO", "--text", "x"});
    EXPECT_EQ(failed.Code, 1);
    EXPECT_EQ(failed.Out, "Impossibile inviare il messaggio a NESSUNO: Il nome dell'utente specificato non è stato trovato\n");
    const TRun blank = Cli({"--simulate", "--data-dir", dir.Path, "popup", "send", "--to", "anna", "--text", " "});
    EXPECT_EQ(blank.Code, 1);
    EXPECT_NE(blank.Err.find("Se non è troppo disturbo compila il messaggino... magari!"), std::string::npos);
    const TRun daily = Cli({"--simulate", "--data-dir", dir.Path, "popup", "send", "--to", "*", "--text", "Pranzo",
                            "--daily", "25:00"});
    EXPECT_EQ(daily.Code, 1);
    EXPECT_NE(daily.Err.find("Orario non valido per --daily: 25:00"), std::string::npos);
    const TRun past = Cli({"--simulate", "--data-dir", dir.Path, "popup", "send", "--to", "anna", "--text", "x", "--at",
                           "2000-01-01 10:00:00"});
    EXPECT_EQ(past.Code, 1);
    EXPECT_NE(past.Err.find("l'orario di invio è già trascorso!"), std::string::npos);

    const TRun users = Cli({"--data-dir", dir.Path, "popup", "users"});
    EXPECT_EQ(users.Out, "anna\nNESSUNO\n");
    const TRun messages = Cli({"--data-dir", dir.Path, "popup", "messages"});
    EXPECT_NE(messages.Out.find("  inviato  anna  «Ciao»\n"), std::string::npos) << messages.Out;
    EXPECT_NE(messages.Out.find("  errore  NESSUNO  «x»  Il nome dell'utente specificato non è stato trovato\n"),
              std::string::npos);
}
