// The skins' costs on a tariff change and at start: reading "Skin.dat" and decoding a skin, and the
// window shape of a large transparent picture; the SMS window's lists over a big message store.
#include "TestSupport.h"
#include "skins/FactorySkins.h"
#include "sms/SmsRules.h"
#include "core/SmsStores.h"

#include <benchmark/benchmark.h>

#include <fstream>

using namespace qv;
using namespace qv::test;

// "Skin.dat" of the two factory skins read, the default one decoded and its picture read.
static void BM_SkinDatLoadAndDecode(benchmark::State& state)
{
    const std::string image = ReadFile(DataFile("Skin.dat"));
    const TBytes bytes(image.begin(), image.end());
    TTestContext ctx;
    for (auto _ : state) {
        TDataSkins skins(ctx.Services);
        skins.ReadFromBytes(bytes);
        TSkinFileEx& f = skins.SkinsEx()[0].SkinFileEx();
        f.PrepareData();
        benchmark::DoNotOptimize(f.Bitmap().Width);
    }
}
BENCHMARK(BM_SkinDatLoadAndDecode)->Unit(benchmark::kMicrosecond);

// The shape of a transparent picture as large as a screen, one key pixel in two (the worst case:
// a run per pixel).
static void BM_SkinShapeWorstCase(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0)), h = w * 3 / 4;
    TBitmap b = TBitmap::Make(w, h, RGB(255, 0, 255));
    for (int y = 0; y < h; ++y)
        for (int x = (y + 1) % 2; x < w; x += 2)
            b.Set(x, y, RGB(0, 0, 128));
    std::size_t runs = 0;
    for (auto _ : state) {
        runs = KeyRuns(b).size();
        benchmark::DoNotOptimize(runs);
    }
    state.counters["runs"] = static_cast<double>(runs);
}
BENCHMARK(BM_SkinShapeWorstCase)->Arg(221)->Arg(1024)->Unit(benchmark::kMillisecond);

// The SMS window's folder and group lists over 10,000 messages to 500 contacts.
static void BM_SmsLists(benchmark::State& state)
{
    TSmsStores s;
    TSmsData& sms = s.Sms;
    TPhoneBookData& book = s.Book;
    for (int c = 0; c < 500; ++c) {
        TSmsNumbersItem& contact = book.AddContact("39", "338", std::to_string(1000000 + c), "contatto " + std::to_string(c),
                                                   c % 2 ? "Amici" : "Lavoro", "");
        for (int m = 0; m < 20; ++m)
            sms.FindOrAddMessage(contact, "messaggio " + std::to_string(m)).SetK(m % 4 ? ssSent : ssError);
    }
    TSmsRules rules(s.Ctx.Services, sms, book, s.Gateways, {});
    for (auto _ : state) {
        benchmark::DoNotOptimize(rules.TreeGroups().size());
        benchmark::DoNotOptimize(rules.FolderMessages(TSmsFolder::Sent).size());
        benchmark::DoNotOptimize(rules.GroupMessages("Amici").size());
    }
}
BENCHMARK(BM_SmsLists)->Unit(benchmark::kMillisecond);

// Importing a contact text of 100,000 lines into a phone book that already holds 1,000 contacts, the
// list kept in name order.
static void BM_ContactImport(benchmark::State& state)
{
    TTempDir dir;
    const std::string file = dir.Path + "/rubrica.txt";
    {
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < state.range(0); ++i)
            out << "Contatto " << (i * 7919) % 100003 << "\t39\t338\t" << 1000000 + i << "\r\n";
    }
    std::size_t contacts = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TTestContext ctx;
        TSmsData sms(ctx.Services);
        TPhoneBookData book(ctx.Services, sms);
        for (int i = 0; i < 1000; ++i)
            book.AddContact("39", "347", std::to_string(2000000 + i), "Amico " + std::to_string(i), "", "");
        state.ResumeTiming();
        book.ImportContacts(file, "");
        contacts = book.SmsNumbers().Count();
    }
    state.counters["contacts"] = static_cast<double>(contacts);
}
BENCHMARK(BM_ContactImport)->Arg(100000)->Unit(benchmark::kMillisecond);
