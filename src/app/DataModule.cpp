#include "app/DataModule.h"

namespace qv {

TDataModule::TDataModule(TServices& services)
    : Settings(services), Taxations(services), Connections(services), Agenda(services)
{
    Taxations.SetAgenda(&Agenda);
    FFiles.Add(Connections, "Connections.dat");
    FFiles.Add(Settings, "Settings.dat");
    FFiles.Add(Taxations, "Taxations.dat");
    FFiles.Add(Agenda, "Calendar.dat");
}

TDataModule::~TDataModule()
{
    SaveAllModified();
}

void TDataModule::LoadAll()
{
    FFiles.LoadAll();
}

void TDataModule::SaveAllModified()
{
    FFiles.SaveAllModified();
}

} // namespace qv
