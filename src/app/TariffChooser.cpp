#include "app/TariffChooser.h"

#include "core/Strings.h"

namespace qv {

std::vector<TTariffChooser::TRow> TTariffChooser::Rows() const
{
    std::vector<TRow> rows;
    const auto inPhoneBook = [this](const std::string& n) { return FData.RasMonitor.IsRasEntry(n); };
    for (const auto& t : FData.Taxations.Taxs())
        rows.push_back({t->DisplayName(), t->Descrizione(),
                        FData.Settings.Entrys().RasEntriesWithTax(t->DisplayName(), inPhoneBook),
                        t.get() == FData.Status.Tax()});
    return rows;
}

std::string TTariffChooser::Heading() const
{
    const std::string entry = Trim(FData.Status.EntryName());
    if (entry.empty())
        return "Scegli la tariffa dei prossimi conteggi";
    return "Scegli la tariffa della connessione «" + entry + "»: resterà sua anche le prossime volte";
}

void TTariffChooser::Apply(std::size_t index)
{
    if (index < FData.Taxations.Taxs().Count())
        FData.Status.SetTax(&FData.Taxations.Taxs()[index]);
    FData.QuestionPending = false;
}

bool TTariffChooser::Delete(std::size_t index)
{
    TTaxItems& taxes = FData.Taxations.Taxs();
    if (index >= taxes.Count())
        return false;
    if (taxes.Count() == 1) {
        ShowWarning(FServices.Prompter, "Almeno una tariffa ci deve essere!");
        return false;
    }
    if (AskYesNo(FServices.Prompter, "Sei proprio sicuro di voler eliminare la tariffa «" + taxes[index].DisplayName() +
                                         "»?") != TModalResult::mrYes)
        return false;
    if (FData.Status.Tax() == &taxes[index])
        FData.Status.SetTax(nullptr);
    taxes.Delete(index);
    FData.Status.SetTax(&taxes[0]);
    return true;
}

bool TTariffChooser::RestoreDefaults()
{
    if (AskYesNo(FServices.Prompter, "L'impostazione predefinita delle tariffe azzererà eventuali bonus mensili di tariffe "
                                     "tipo Teleconomy NoStop\rRipristina le impostazioni predefinite per le tariffe?") !=
        TModalResult::mrYes)
        return false;
    FData.Status.SetTax(nullptr);
    FData.Taxations.LoadDefaultTaxes();
    FData.Status.SetTax(&FData.Taxations.Taxs()[0]);
    return true;
}

std::string TTariffChooser::BandsText(std::size_t index) const
{
    const TTaxItem& t = FData.Taxations.Taxs()[index];
    return TTaxItem::BandsText(t.BandsFeriali(), "Fasce orarie FERIALI") + "\r\r" +
           TTaxItem::BandsText(t.BandsSabato(), "Fasce orarie SABATO") + "\r\r" +
           TTaxItem::BandsText(t.BandsFestivi(), "Fasce orarie FESTIVI");
}

} // namespace qv
