#pragma once
// The default tariffs with a holiday calendar, on a program context in virtual time.

#include "TestSupport.h"
#include "tariffs/Agenda.h"
#include "tariffs/Taxations.h"

#include <gtest/gtest.h>

namespace qv::test {

struct TDefaultTariffs : testing::Test
{
    explicit TDefaultTariffs(double now) : Ctx(now)
    {
        Agenda.ResetDays();
        Taxes.SetAgenda(&Agenda);
        Taxes.LoadDefaultTaxes();
    }
    TTestContext Ctx;
    TAgenda Agenda{Ctx.Services};
    TTaxations Taxes{Ctx.Services};
    TTaxItem& Tax(const std::string& name) { return *Taxes.FindTax(name); }
};

} // namespace qv::test
