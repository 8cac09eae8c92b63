#include "app/CommandHelp.h"

#include "core/Strings.h"

#include <sstream>

namespace qv {

const std::vector<TCommandHelp>& CliCommands()
{
    static const std::vector<TCommandHelp> commands = {
        {"dump FILE",
         "mostra il contenuto di un file di dati (di un file danneggiato quanto si legge, e dove; uscita 1)",
         "Shows what a data file holds; of a damaged file what can be read and where reading stopped (exit "
         "status 1)."},
        {"resave IN OUT", "rilegge un file di dati e lo riscrive", "Reads a data file and writes it again."},
        {"tariffs list | export FILE | import FILE", "le tariffe, scambiate in JSON",
         "The tariffs, exchanged as JSON."},
        {"log export FILE | import FILE", "il registro delle connessioni in testo",
         "The connection log as text. A damaged log is rescued by a command that writes (the damaged copy "
         "is kept as Connections.dat@error) and read as far as it goes by one that reads."},
        {"log add --from DATA --to DATA --pulses N --cost LIRE --entry NOME",
         "aggiunge una connessione (DATA: \"AAAA-MM-GG hh:mm:ss\")",
         "Adds a connection (dates as \"YYYY-MM-DD hh:mm:ss\")."},
        {"log summary --by day|month|year|entry [--from DATA --to DATA]",
         "totali per giorno, mese, anno o connessione", "Totals by day, month, year or connection."},
        {"price --tariff \"Gestore - Nome\" --from DATA --to DATA [--json]",
         "costo e scatti di un intervallo con una tariffa", "The cost and pulses of a span under a tariff."},
        {"compare --cost LIRE --from DATA --to DATA", "le tariffe che sarebbero costate meno",
         "The tariffs that would have cost less."},
        {"status", "lo stato della connessione e i valori di Status.dat",
         "The live status and the values of Status.dat."},
        {"recover --keep|--discard",
         "aggiunge al registro o ignora la connessione non salvata rimasta in Status.dat",
         "Logs or drops a count a crash left unsaved; dial and monitor refuse to start a count until recover "
         "has decided about it."},
        {"entries", "la rubrica delle connessioni con i numeri", "The pppd connections with their numbers."},
        {"entries set VOCE --tariff \"Gestore - Nome\" [--limit SECONDI] [--retry SECONDI]\n"
         "            [--dial-time SECONDI]",
         "la tariffa e i tempi di una connessione (--limit 0: nessun limite di durata)",
         "A connection's tariff and times (--limit 0: no time limit)."},
        {"profiles list", "i profili utente", "The user profiles."},
        {"holidays list | set GG/MM | unset GG/MM", "i giorni festivi dell'anno",
         "The year's holidays; set or unset one."},
        {"sounds list | play NOME | export NOME FILE.wav | import NOME FILE.wav", "i suoni del programma",
         "The program's sounds."},
        {"programs run --profile NOME --kind connected|manual|startup", "avvia i programmi di un profilo",
         "Starts a profile's programs."},
        {"time check [--server HOST[:PORTA]] [--set [--force]]",
         "l'ora di un time server (RFC 868) e la differenza; --set corregge l'orologio (oltre 15 minuti "
         "solo con --force)",
         "A time server's time (RFC 868) and the difference; --set corrects the clock (beyond 15 minutes only "
         "with --force)."},
        {"stats tree [--json]", "l'albero delle statistiche: anni, mesi, giorni e totali",
         "The statistics tree: years, months, days and totals."},
        {"stats chart --measure lire|euro|tempo|scatti|volume --group tipi|connessioni|giorni|mesi|anni\n"
         "            [--from DATA --to DATA] [--json]",
         "i valori del grafico delle statistiche (volume: il traffico dei piani dati, per piano con tipi, per "
         "ciclo con connessioni)",
         "The values of the statistics chart (volume: the data plans' traffic, by plan with tipi, by cycle with "
         "connessioni)."},
        {"report details [--node AAAA[-MM[-GG]]] [--connections] --pdf FILE",
         "il rapporto dei dettagli (il ramo, o le sue connessioni)",
         "The details report as PDF (a branch, or its connections)."},
        {"report chart --measure ... --group ... [--from DATA --to DATA] [--legend] --pdf FILE",
         "il rapporto del grafico", "The chart report as PDF."},
        {"repricing --from DATA --to DATA [--json]",
         "quanto sarebbero costate le connessioni del periodo con ogni tariffa (secondi gratuiti mese per "
         "mese)",
         "What the period's connections would have cost under every tariff (free seconds month by month)."},
        {"modems", "i modem di ModemManager (* quello controllato)",
         "The modems of ModemManager (* the watched one)."},
        {"sms gateways list | add --name N --host H --send MODELLO [--port P] [--success T] [--max N]\n"
         "            [--referrer URL] [--login MODELLO --login-success T --user U\n"
         "            --password P | --password-file FILE|-]\n"
         "sms gateways import-ini FILE | export-ini FILE | import-foreign FILE",
         "i gateway SMS web (HOST: nome, http://nome o https://nome)",
         "The web SMS gateways (HOST: a name, http://name or https://name)."},
        {"sms contacts list | add --number N [--int 39] [--loc 338] [--name NOME] [--group G]\n"
         "sms contacts import FILE [--group G] | export FILE",
         "la rubrica degli SMS", "The SMS phone book."},
        {"sms send --gateway N --to CONTATTO|NUMERO --text TESTO [--queue] [--force]\n"
         "sms queue [--send] | messages",
         "invia un SMS, la coda e i messaggi", "Sends an SMS; the queue and the messages."},
        {"plans list | remove NOME | status [--json] | export FILE | import FILE\n"
         "plans compare [--from DATA --to DATA] [--json]\n"
         "plans add|set NOME --connection UUID|--interface IF [--monthly GIORNO | --every N --from DATA |\n"
         "            --daily] [--allowance 50GB | --no-allowance] [--price EURO] [--per-gb EURO |\n"
         "            --block 500MB --block-price EURO | --cap] [--warning 80] [--limit] [--received-only]",
         "i piani dati dei collegamenti a consumo (\"PianiDati.dat\"): ciclo, soglia, prezzo, oltre la soglia; "
         "lo stato di ogni ciclo (usati, restano, proiezione, al giorno, costo); i piani in JSON; quanto sarebbe "
         "costato il traffico del periodo con ciascun piano",
         "The data plans of metered links (\"PianiDati.dat\"): cycle, allowance, price, what happens beyond "
         "it; the status of each cycle (used, remaining, projection, per day, cost); the plans as JSON; what "
         "the period's traffic would have cost under each plan."},
        {"usage --by day|month|cycle [--plan NOME] [--from DATA --to DATA] [--json]",
         "il volume contato per i piani, per giorno, mese o ciclo (con il costo del ciclo)",
         "The volume counted for the plans by day, month or cycle (with the cycle's cost)."},
        {"skins list | export FILE | import FILE", "le skin della finestra (\"Skin.dat\")",
         "The skins of the window (\"Skin.dat\")."},
        {"popup users | groups | messages\n"
         "popup send --to NOME|GRUPPO|\"*\" --text TESTO [--at DATA | --daily HH:MM] [--force]",
         "messaggi popup in rete locale (smbclient); NOME@indirizzo[:porta]",
         "Popup messages on the local network through smbclient; NAME@address[:port]."},
        {"monitor [--dial VOCE] [--for SECONDI]", "segue le connessioni e ne mostra costo e durata",
         "Follows connections and shows their cost and duration (SIGINT, SIGTERM and SIGHUP end the count "
         "and log it)."},
        {"dial VOCE", "compone una connessione della rubrica", "Dials a pppd connection."},
        {"hangup", "chiude le connessioni attive", "Hangs up the active connections."},
        {"version", "mostra la versione", "Shows the version."},
    };
    return commands;
}

const std::vector<TOptionHelp>& CliOptions()
{
    static const std::vector<TOptionHelp> options = {
        {"--data-dir DIR", "la cartella dei dati (vedi sotto)", "The data folder (see below)."},
        {"--simulate", "connessioni, modem e messaggi simulati", "Simulated connections, modem and messages."},
        {"--help", "questo aiuto", "Shows the commands and exits."},
        {"--version", "la versione", "Shows the version and exits."},
    };
    return options;
}

const std::vector<TOptionHelp>& GuiOptions()
{
    static const std::vector<TOptionHelp> options = {
        {"--data-dir DIR", "la cartella dei dati (vedi sotto)", "The data folder (see below)."},
        {"--simulate", "connessioni, modem e messaggi simulati", "Simulated connections, modem and messages."},
        {"/winstart", "avviato con la sessione (la connessione iniziale non parte)",
         "Started with the desktop session: the start connection is not dialled."},
        {"PROFILO", "il profilo utente da usare", "The user profile to use."},
        {"--help", "questo aiuto", "Shows a short help and exits."},
        {"--version", "la versione", "Shows the version and exits."},
    };
    return options;
}

std::string CommandName(const TCommandHelp& command)
{
    const std::string s = command.Synopsis;
    return s.substr(0, s.find(' '));
}

namespace {

constexpr const char* DataFolderIt =
    "La cartella dei dati: --data-dir DIR, altrimenti $QUORVANTA_DATA_DIR, altrimenti la cartella\n"
    "dell'eseguibile se contiene un file di nome \"portable\", altrimenti ~/.local/share/Quorvanta.\n";

// "  NAME                           text" with the text wrapped at 100 columns, continued at column 33.
void Entry(std::ostringstream& out, const std::string& synopsis, const std::string& text)
{
    constexpr std::size_t column = 33, width = 100;
    std::vector<std::string> lines;
    std::istringstream s(synopsis);
    for (std::string line; std::getline(s, line);)
        lines.push_back(Trim(line));
    std::vector<std::string> words;
    std::istringstream t(text);
    for (std::string w; t >> w;)
        words.push_back(w);
    std::size_t at = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string head = std::string(i == 0 ? "  " : "      ") + lines[i];
        out << head;
        if (lines.size() == 1 && Utf8Length(head) + 1 < column) {
            out << std::string(column - Utf8Length(head), ' ');
            std::size_t used = column;
            while (at < words.size() && (used == column || used + 1 + Utf8Length(words[at]) <= width)) {
                out << (used == column ? "" : " ") << words[at];
                used += (used == column ? 0 : 1) + Utf8Length(words[at]);
                ++at;
            }
        }
        out << "\n";
    }
    while (at < words.size()) {
        out << std::string(column, ' ');
        std::size_t used = column;
        while (at < words.size() && (used == column || used + 1 + Utf8Length(words[at]) <= width)) {
            out << (used == column ? "" : " ") << words[at];
            used += (used == column ? 0 : 1) + Utf8Length(words[at]);
            ++at;
        }
        out << "\n";
    }
}

// roff: hyphens and backslashes as the man page wants them.
std::string Roff(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    // A line may not start with a period or an apostrophe.
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out = "\\&" + out;
    return out;
}

std::string SynopsisRoff(const char* synopsis)
{
    std::string out;
    std::istringstream s(synopsis);
    bool first = true;
    for (std::string line; std::getline(s, line);) {
        out += (first ? "" : "\n.br\n") + std::string("\\fB") + Roff(Trim(line)) + "\\fR";
        first = false;
    }
    return out;
}

const char* Text(const TOptionHelp& o, TManLanguage l)
{
    return l == TManLanguage::Italian ? o.Italian : o.English;
}

void ManHeader(std::ostringstream& out, const char* name, TManLanguage l)
{
    out << ".TH " << name << " 1 \"" << (l == TManLanguage::Italian ? "dicembre 2026" : "December 2026")
        << "\" \"Quorvanta 1.0\" \"" << (l == TManLanguage::Italian ? "Comandi utente" : "User Commands") << "\"\n";
}

void ManEnvironmentAndFiles(std::ostringstream& out, TManLanguage l)
{
    const bool it = l == TManLanguage::Italian;
    out << ".SH " << (it ? "CARTELLA DEI DATI" : "DATA FOLDER") << "\n"
        << (it ? "La cartella dei dati è, nell'ordine: quella di \\fB\\-\\-data\\-dir\\fR; quella di "
                 "\\fBQUORVANTA_DATA_DIR\\fR; la cartella dell'eseguibile, se contiene un file di nome "
                 "\\fIportable\\fR (un'installazione portatile, per esempio su una chiavetta); altrimenti "
                 "\\fI~/.local/share/Quorvanta\\fR.\n"
               : "The data folder is, in this order: the one of \\fB\\-\\-data\\-dir\\fR; the one of "
                 "\\fBQUORVANTA_DATA_DIR\\fR; the executable's folder when it holds a file named "
                 "\\fIportable\\fR (a portable installation, on a USB stick for instance); else "
                 "\\fI~/.local/share/Quorvanta\\fR.\n")
        << ".SH " << (it ? "AMBIENTE" : "ENVIRONMENT") << "\n"
        << ".TP\n.B QUORVANTA_DATA_DIR\n"
        << (it ? "La cartella dei dati.\n" : "The data folder.\n")
        << ".TP\n.B QUORVANTA_MODULE_DIR\n"
        << (it ? "La cartella dei moduli caricati al primo uso (SMS web, suoni, servizi D\\-Bus, portachiavi); "
                 "\\fI/usr/lib/quorvanta\\fR, accanto all'eseguibile in una cartella di compilazione.\n"
               : "The folder of the modules loaded at first use (web SMS, sounds, D\\-Bus services, keyring); "
                 "default \\fI/usr/lib/quorvanta\\fR, beside the executable in a build tree.\n")
        << ".SH " << (it ? "FILE" : "FILES") << "\n"
        << ".TP\n.I ~/.local/share/Quorvanta\n"
        << (it ? "Tariffe, registro delle connessioni, impostazioni, calendario, suoni e messaggi.\n"
               : "Tariffs, connection log, settings, calendar, sounds and messages.\n")
        << ".TP\n.I ~/.config/QovWare/Quorvanta.ini\n"
        << (it ? "Posizioni delle finestre e opzioni di visualizzazione.\n" : "Window positions and view options.\n");
}

} // namespace

std::string CliUsageText()
{
    std::ostringstream out;
    out << "Uso: quorvanta-cli [--data-dir DIR] [--simulate] COMANDO\n"
        << "Comandi:\n";
    for (const TCommandHelp& c : CliCommands())
        Entry(out, c.Synopsis, c.Italian);
    out << "Opzioni:\n";
    for (const TOptionHelp& o : CliOptions())
        Entry(out, o.Option, o.Italian);
    out << DataFolderIt;
    return out.str();
}

std::string GuiUsageText()
{
    std::ostringstream out;
    out << "Uso: quorvanta [--data-dir DIR] [--simulate] [/winstart] [PROFILO]\n"
        << "Controlla quanto costa la connessione a consumo: la conta secondo per secondo,\n"
        << "la registra e ne mostra le statistiche. Vedi anche quorvanta-cli(1).\n";
    for (const TOptionHelp& o : GuiOptions())
        Entry(out, o.Option, o.Italian);
    out << DataFolderIt;
    return out.str();
}

std::string CliManPage(TManLanguage l)
{
    const bool it = l == TManLanguage::Italian;
    std::ostringstream out;
    ManHeader(out, "QUORVANTA-CLI", l);
    out << ".SH " << (it ? "NOME" : "NAME") << "\n"
        << "quorvanta\\-cli \\- "
        << (it ? "il contatore dei costi di Quorvanta dalla riga di comando\n"
               : "the Quorvanta cost meter from the command line\n")
        << ".SH " << (it ? "SINTASSI" : "SYNOPSIS") << "\n"
        << ".B quorvanta\\-cli\n[\\fB\\-\\-data\\-dir\\fR \\fIDIR\\fR] [\\fB\\-\\-simulate\\fR] \\fI"
        << (it ? "COMANDO" : "COMMAND") << "\\fR [\\fI" << (it ? "ARGOMENTI" : "ARGUMENTS") << "\\fR]\n"
        << ".SH " << (it ? "DESCRIZIONE" : "DESCRIPTION") << "\n"
        << (it ? ".B quorvanta\\-cli\nlegge e modifica i dati di\n.BR quorvanta (1)\ne fa senza finestre "
                 "quello che fa il programma.\nI comandi che leggono soltanto non scrivono mai un file di dati; "
                 "quelli che scrivono prendono il blocco del programma e rifiutano mentre il programma è in "
                 "esecuzione.\nI testi del programma sono in italiano.\n"
               : ".B quorvanta\\-cli\nreads and changes the data of\n.BR quorvanta (1)\nand does without windows "
                 "what the program does.\nCommands that only read never write a data file; commands that "
                 "write take the program's lock and refuse while the program runs.\nThe program speaks "
                 "Italian.\n")
        << ".SH " << (it ? "COMANDI" : "COMMANDS") << "\n";
    for (const TCommandHelp& c : CliCommands())
        out << ".TP\n" << SynopsisRoff(c.Synopsis) << "\n" << Roff(it ? c.Italian : c.English) << "\n";
    out << ".SH " << (it ? "OPZIONI" : "OPTIONS") << "\n";
    for (const TOptionHelp& o : CliOptions())
        out << ".TP\n\\fB" << Roff(o.Option) << "\\fR\n" << Roff(Text(o, l)) << "\n";
    ManEnvironmentAndFiles(out, l);
    out << ".SH " << (it ? "VEDERE ANCHE" : "SEE ALSO") << "\n.BR quorvanta (1)\n";
    return out.str();
}

std::string GuiManPage(TManLanguage l)
{
    const bool it = l == TManLanguage::Italian;
    std::ostringstream out;
    ManHeader(out, "QUORVANTA", l);
    out << ".SH " << (it ? "NOME" : "NAME") << "\n"
        << "quorvanta \\- "
        << (it ? "quanto costa una connessione a consumo\n" : "counts what a metered dial\\-up connection costs\n")
        << ".SH " << (it ? "SINTASSI" : "SYNOPSIS") << "\n"
        << ".B quorvanta\n[\\fB\\-\\-data\\-dir\\fR \\fIDIR\\fR] [\\fB\\-\\-simulate\\fR] [\\fB/winstart\\fR] [\\fI"
        << (it ? "PROFILO" : "PROFILE") << "\\fR]\n"
        << ".SH " << (it ? "DESCRIZIONE" : "DESCRIPTION") << "\n"
        << (it ? ".B quorvanta\nsi accorge di quando una connessione fatta con\n.BR pppd (8)\n(o con un modem di "
                 "ModemManager) viene composta, ne calcola il costo secondo per secondo dalle tariffe "
                 "dell'utente e mostra tempo trascorso, scatti, costo e tempo al prossimo scatto in una "
                 "piccola finestra sempre in primo piano e in un'icona dell'area di notifica.\nOgni "
                 "connessione viene registrata; la finestra delle statistiche disegna grafici e stampa "
                 "rapporti.\n"
               : ".B quorvanta\nnotices when a dial\\-up connection made through\n.BR pppd (8)\n(or a modem of "
                 "ModemManager) is dialled, prices every second of it from the user's tariffs and shows "
                 "elapsed time, pulses, cost and time to the next charge step in a small always\\-on\\-top "
                 "window and a tray icon.\nEvery connection is logged; the statistics window draws charts "
                 "and prints reports.\nThe user interface is Italian.\n")
        << ".SH " << (it ? "OPZIONI" : "OPTIONS") << "\n";
    for (const TOptionHelp& o : GuiOptions()) {
        std::string option = o.Option;
        if (!it && option == "PROFILO")
            option = "PROFILE";
        out << ".TP\n" << (option == "PROFILO" || option == "PROFILE" ? "\\fI" : "\\fB") << Roff(option) << "\\fR\n"
            << Roff(Text(o, l)) << "\n";
    }
    ManEnvironmentAndFiles(out, l);
    out << ".SH " << (it ? "VEDERE ANCHE" : "SEE ALSO") << "\n.BR quorvanta\\-cli (1),\n.BR pppd (8)\n";
    return out.str();
}

} // namespace qv
