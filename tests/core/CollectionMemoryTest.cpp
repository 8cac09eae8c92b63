// The memory of collection items and of large buffers: items kept in blocks of their collection
// (places of deleted items reused, everything given back when the collection empties), a large
// collection written in two halves and read in two parts at once, and the advice on large blocks
// through the platform's hook.
#include "TestSupport.h"
#include "core/Memory.h"
#include "tariffs/Connections.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace qv;
using namespace qv::test;

namespace {

// The connection's number is kept in S, and in the entry's name.
void Fill(TDataUnitsItem& u, int id)
{
    u.SetI(40000 + id / 100.0);
    u.SetF(40000 + id / 100.0 + 0.001);
    u.SetS(id);
    u.SetL(id * 1.5);
    u.SetN("entry " + std::to_string(id));
}

std::vector<int> Ids(TDataUnits& log)
{
    std::vector<int> ids;
    for (std::size_t i = 0; i < log.Units().Count(); ++i) {
        const TDataUnitsItem& u = log.Units()[i];
        EXPECT_EQ(u.N(), "entry " + std::to_string(u.S())); // an item overwritten by another is caught here
        ids.push_back(u.S());
    }
    return ids;
}

// The bytes item id adds to an empty log's stream; at: where a log's items start in it.
TBytes ItemBytes(TServices& services, int id, std::size_t* at = nullptr)
{
    TDataUnits empty(services);
    const TBytes none = empty.WriteToBytes();
    TDataUnits one(services);
    Fill(one.Units().Add(), id);
    const TBytes alone = one.WriteToBytes();
    one.SetModified(false);
    const auto start = static_cast<std::size_t>(std::mismatch(none.begin(), none.end(), alone.begin()).first - none.begin());
    if (at)
        *at = start;
    return TBytes(alone.begin() + static_cast<std::ptrdiff_t>(start),
                  alone.begin() + static_cast<std::ptrdiff_t>(start + alone.size() - none.size()));
}

std::vector<int> Range(int from, int to)
{
    std::vector<int> ids;
    for (int i = from; i < to; ++i)
        ids.push_back(i);
    return ids;
}

bool TwoProcessors()
{
    return std::thread::hardware_concurrency() > 1;
}

// Reads bytes into log: the second parts taken and not taken meanwhile.
TReadInParts ReadCounting(TDataUnits& log, const TBytes& bytes)
{
    const TReadInParts before = ReadInPartsCounts();
    log.ReadFromBytes(bytes);
    const TReadInParts after = ReadInPartsCounts();
    return {after.Taken - before.Taken, after.NotTaken - before.NotTaken};
}

// Counts the advice asked for, and takes the hook away again.
struct TAdviceSpy
{
    TAdviceSpy()
    {
        Sizes().clear();
        SetLargeBlockAdvice([](void* data, std::size_t size) {
            Sizes().push_back(size);
            Aligned().push_back(reinterpret_cast<std::uintptr_t>(data) % (std::size_t{2} << 20) == 0);
        });
    }
    ~TAdviceSpy() { SetLargeBlockAdvice(nullptr); }
    static std::vector<std::size_t>& Sizes()
    {
        static std::vector<std::size_t> sizes;
        return sizes;
    }
    static std::vector<bool>& Aligned()
    {
        static std::vector<bool> aligned;
        return aligned;
    }
};

} // namespace

// Every way of changing a collection, at random, against a plain list of the same numbers: no
// item is lost, doubled or overwritten while places are reused (the sanitizer build also sees
// every item's end).
TEST(CollectionMemory, ItemsSurviveEveryChangeAsAPlainListWould)
{
    TTestContext ctx;
    TDataUnits log(ctx.Services);
    std::vector<int> model;
    std::mt19937 random(29);
    int next = 0;
    for (int step = 0; step < 4000; ++step) {
        const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
        switch (random() % 8) {
        case 0:
        case 1:
        case 2:
            Fill(log.Units().Add(), next);
            model.push_back(next++);
            break;
        case 3: {
            const std::size_t at = pick(model.size() + 1);
            Fill(log.Units().Insert(at), next);
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), next++);
            break;
        }
        case 4:
            if (!model.empty()) {
                const std::size_t at = pick(model.size());
                log.Units().Delete(at);
                model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
            }
            break;
        case 5:
            if (!model.empty()) {
                const std::size_t from = pick(model.size()), to = pick(model.size());
                log.Units().Move(from, to);
                const int id = model[from];
                model.erase(model.begin() + static_cast<std::ptrdiff_t>(from));
                model.insert(model.begin() + static_cast<std::ptrdiff_t>(to), id);
            }
            break;
        case 6: {
            const int divisor = 3 + static_cast<int>(pick(5));
            log.Units().RemoveIf([divisor](const TDataUnitsItem& u) { return u.S() % divisor == 0; });
            std::erase_if(model, [divisor](int id) { return id % divisor == 0; });
            break;
        }
        default:
            if (pick(40) == 0) {
                log.Units().Clear();
                model.clear();
            }
            break;
        }
        if (step % 97 == 0) {
            ASSERT_EQ(Ids(log), model) << "step " << step;
        }
    }
    EXPECT_EQ(Ids(log), model);
    log.SetModified(false);
}

// A reference to an item stays good while thousands more are added (the statistics and the live
// count keep such references).
TEST(CollectionMemory, ItemsStayWhereTheyAreWhileTheCollectionGrows)
{
    TTestContext ctx;
    TDataUnits log(ctx.Services);
    TDataUnitsItem& first = log.Units().Add();
    Fill(first, 7);
    for (int i = 0; i < 60000; ++i)
        Fill(log.Units().Add(), 100 + i);
    EXPECT_EQ(&log.Units()[0], &first);
    EXPECT_EQ(first.N(), "entry 7");
    log.SetModified(false);
}

// A collection of many items is written in two halves and read in two parts on two threads: the
// stream is the one a single writer makes, item for item; reading it gives every item in order,
// in a collection that goes on changing like any other (its items, read partly on another thread,
// are its own to reuse and free); a resave keeps every byte.
TEST(CollectionMemory, LargeCollectionIsWrittenAndReadWholeAndInOrder)
{
    TTestContext ctx;
    TDataUnits log(ctx.Services);
    const int n = 45001; // odd: the halves differ by one
    for (int i = 0; i < n; ++i)
        Fill(log.Units().Add(), i);
    const TBytes bytes = log.WriteToBytes();

    // The stream a single writer makes: each item written alone in a log of its own, the bytes it
    // adds to an empty log's stream put one after the other where that log's collection is.
    TDataUnits empty(ctx.Services);
    const TBytes none = empty.WriteToBytes();
    std::size_t at = 0;
    ItemBytes(ctx.Services, 0, &at);
    TBytes expected(none.begin(), none.begin() + static_cast<std::ptrdiff_t>(at));
    for (int i = 0; i < n; ++i) {
        const TBytes item = ItemBytes(ctx.Services, i);
        expected.insert(expected.end(), item.begin(), item.end());
    }
    expected.insert(expected.end(), none.begin() + static_cast<std::ptrdiff_t>(at), none.end());
    EXPECT_TRUE(bytes == expected) << bytes.size() << " bytes, expected " << expected.size();

    TDataUnits back(ctx.Services);
    const TReadInParts parts = ReadCounting(back, bytes);
    if (TwoProcessors()) {
        EXPECT_EQ(parts.Taken, 1u);
    }
    EXPECT_EQ(Ids(back), Range(0, n));

    // Written again into the buffer it was read from (as the resave does): the same bytes.
    TBytes buffer = bytes;
    back.WriteToBytes(buffer);
    EXPECT_EQ(buffer, bytes);

    std::vector<int> model = Range(0, n);
    back.Units().RemoveIf([](const TDataUnitsItem& u) { return u.S() % 3 == 0; });
    std::erase_if(model, [](int id) { return id % 3 == 0; });
    for (int i = n; i < n + 20000; ++i) {
        Fill(back.Units().Add(), i);
        model.push_back(i);
    }
    back.Units().Delete(0);
    model.erase(model.begin());
    EXPECT_EQ(Ids(back), model);
    back.Units().Clear();
    Fill(back.Units().Add(), 5);
    EXPECT_EQ(Ids(back), std::vector<int>{5});
    log.SetModified(false);
    back.SetModified(false);
}

// The second reader starts at the first place past the middle that looks like an item. Here that
// place is inside a 4 MB text whose bytes are whole items and a collection's end: its "items" are
// never taken, and the text is read whole as the value it is.
TEST(CollectionMemory, ReadInPartsNeverTakesItemsFromInsideAValue)
{
    TTestContext ctx;
    TBytes fake;
    for (int i = 0; i < 3; ++i) {
        const TBytes item = ItemBytes(ctx.Services, 900000 + i);
        fake.insert(fake.end(), item.begin(), item.end());
    }
    fake.push_back(0);
    TBytes text;
    while (text.size() < (std::size_t{4} << 20))
        text.insert(text.end(), fake.begin(), fake.end());

    TDataUnits log(ctx.Services);
    const int n = 20000;
    for (int i = 0; i < n; ++i)
        Fill(log.Units().Add(), i);
    const std::string marker(300, '#');
    log.Units()[n / 2].SetZ(marker);
    TBytes bytes = log.WriteToBytes();
    log.SetModified(false);
    const auto found = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end());
    ASSERT_NE(found, bytes.end());
    const auto pos = static_cast<std::size_t>(found - bytes.begin());
    ASSERT_EQ(bytes[pos - 5], static_cast<std::uint8_t>(TValueTag::vaLString));
    for (int i = 0; i < 4; ++i)
        bytes[pos - 4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(text.size() >> (8 * i));
    bytes.erase(found, found + static_cast<std::ptrdiff_t>(marker.size()));
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(pos), text.begin(), text.end());

    TDataUnits back(ctx.Services);
    const TReadInParts parts = ReadCounting(back, bytes);
    if (TwoProcessors()) {
        EXPECT_EQ(parts.NotTaken, 1u);
        EXPECT_EQ(parts.Taken, 0u);
    }
    EXPECT_EQ(Ids(back), Range(0, n));
    EXPECT_TRUE(back.WriteToBytes() == bytes);
    back.SetModified(false);
}

// A damaged item in the second part: the read fails as a single reader's does, with the same
// words, and nothing read on the other thread is left behind.
TEST(CollectionMemory, DamageInTheSecondPartFailsAsOnOneThread)
{
    TTestContext ctx;
    const auto damage = [](TBytes& bytes, int id) {
        const std::string value = "entry " + std::to_string(id);
        const auto found = std::search(bytes.begin(), bytes.end(), value.begin(), value.end());
        ASSERT_NE(found, bytes.end());
        ASSERT_EQ(*(found - 3), 'N');
        *(found - 3) = 'Q'; // the property's name
    };
    const auto readError = [&ctx](const TBytes& bytes) {
        TDataUnits log(ctx.Services);
        try {
            log.ReadFromBytes(bytes);
        } catch (const EReadError& e) {
            log.SetModified(false);
            return std::string(e.what());
        }
        return std::string("read without error");
    };

    TDataUnits small(ctx.Services);
    Fill(small.Units().Add(), 40000);
    TBytes one = small.WriteToBytes();
    small.SetModified(false);
    damage(one, 40000);
    const std::string expected = readError(one);
    EXPECT_NE(expected, "read without error");

    TDataUnits log(ctx.Services);
    for (int i = 0; i < 45000; ++i)
        Fill(log.Units().Add(), i);
    TBytes bytes = log.WriteToBytes();
    log.SetModified(false);
    damage(bytes, 40000);
    const TReadInParts before = ReadInPartsCounts();
    EXPECT_EQ(readError(bytes), expected);
    if (TwoProcessors()) {
        EXPECT_EQ(ReadInPartsCounts().NotTaken, before.NotTaken + 1);
    }
}

// The platform is asked to back large buffers and the large blocks of a big collection with large
// pages; small ones are left alone.
TEST(CollectionMemory, LargeBlocksAreAdvisedSmallOnesAreNot)
{
    TAdviceSpy spy;
    TBytes small;
    small.reserve(LargeBlockSize / 2);
    EXPECT_TRUE(TAdviceSpy::Sizes().empty());
    TBytes large;
    large.reserve(LargeBlockSize + 1000);
    // Whole large pages from a large page's boundary: no end of it is left to small pages.
    ASSERT_EQ(TAdviceSpy::Sizes().size(), 1u);
    EXPECT_GE(TAdviceSpy::Sizes()[0], LargeBlockSize + 1000);
    EXPECT_EQ(TAdviceSpy::Sizes()[0] % LargeBlockAlign, 0u);
    EXPECT_TRUE(TAdviceSpy::Aligned()[0]);
    large.resize(LargeBlockSize + 1000, 7); // written to its end, and given back the way it was
                                            // taken (the sanitizer build checks both)

    TAdviceSpy::Sizes().clear();
    TAdviceSpy::Aligned().clear();
    TTestContext ctx;
    TDataUnits log(ctx.Services);
    for (int i = 0; i < 1000; ++i)
        Fill(log.Units().Add(), i);
    EXPECT_TRUE(TAdviceSpy::Sizes().empty()); // a small log stays in small blocks
    for (int i = 1000; i < 100000; ++i)
        Fill(log.Units().Add(), i);
    // About 15 MB of items: the blocks past the first megabyte are large, on large-page boundaries.
    EXPECT_GE(TAdviceSpy::Sizes().size(), 3u);
    for (std::size_t i = 0; i < TAdviceSpy::Sizes().size(); ++i) {
        EXPECT_EQ(TAdviceSpy::Sizes()[i], LargeBlockSize);
        EXPECT_TRUE(TAdviceSpy::Aligned()[i]);
    }

    // A log that expects many items (as a large log being read does) takes large blocks at once.
    TAdviceSpy::Sizes().clear();
    TDataUnits expected(ctx.Services);
    expected.Units().Reserve(100000);
    Fill(expected.Units().Add(), 1);
    EXPECT_EQ(TAdviceSpy::Sizes().size(), 1u);
    expected.SetModified(false);
    log.SetModified(false);
}
