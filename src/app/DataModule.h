#pragma once
// The long-lived data objects of the program, created in the start-up order and loaded from their
// files in the fixed order (the log first, so the live status can store a pending connection).

#include "app/Startup.h"
#include "tariffs/Agenda.h"
#include "tariffs/Connections.h"
#include "tariffs/Settings.h"
#include "tariffs/Taxations.h"

namespace qv {

class TDataModule
{
public:
    explicit TDataModule(TServices& services);
    ~TDataModule();
    // Loads every data file (creating the missing ones).
    void LoadAll();
    void SaveAllModified();

    TSettings Settings;
    TTaxations Taxations;
    TDataUnits Connections;
    TAgenda Agenda;

private:
    TDataFiles FFiles;
};

} // namespace qv
