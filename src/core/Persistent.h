#pragma once
// Persistent components: an object that owns its data as published properties and collections and
// keeps itself in one data file, saved ten seconds after its first change.

#include "core/Memory.h"
#include "core/Properties.h"

#include <algorithm>
#include "core/Services.h"
#include "core/Stream.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv {

class TPersistentComponent;

// What a salvaging read of a damaged stream found: where it stopped understanding, how many
// collection items it left out, and whether it gave up before the end.
struct TSalvageReport
{
    struct TDamage
    {
        std::size_t Position = 0; // where the damage was noticed
        std::string Reason;
    };
    std::vector<TDamage> Damages;
    std::size_t DroppedItems = 0;
    std::size_t KeptItems = 0;    // items read whole after the first damage
    bool Stopped = false;         // nothing after the last damage could be understood
    bool Damaged() const { return !Damages.empty(); }
    // One Italian line per damage, for the user and for the dump.
    std::vector<std::string> Lines() const;
};

// How a component whose file cannot be read whole goes on. Ask: the program's own way (the question
// when AskOnLoadError is set, then the program stops). Rescue: a command that writes does what "Sì"
// does without asking (the damaged file aside, what can be read saved under the file's name) and
// goes on. ReadOnly: a command that only reads uses what can be read, writes nothing and goes on.
enum class TRescuePolicy
{
    rpAsk,
    rpRescue,
    rpReadOnly,
};

// An item of a data collection: its setters call Changed(true), which marks the owning component
// modified. Items of collections nested inside items report to the same component.
class TDataCollectionItem : public TPersistent
{
public:
    explicit TDataCollectionItem(TPersistentComponent* component) : FComponent(component) {}
    void Changed(bool value);
    void MarkChanged() { Changed(true); }
    TPersistentComponent* Component() const { return FComponent; }
    void SetCollection(TCollectionBase* collection) { FCollection = collection; }

protected:
    TPersistentComponent* FComponent;
    TCollectionBase* FCollection = nullptr;
};

// The memory of one collection's items: blocks that grow with the collection (8 places, then as
// many as it holds) instead of one allocation per item, and the places of deleted items for the
// next items added. Past a megabyte the blocks are large blocks of 4 MB on 2 MB boundaries, which
// the platform may back with large pages: a log of 100,000 connections is read into about fifteen
// allocations and a few dozen page faults. When the collection is emptied its blocks go back.
template <class TItem> class TItemPool
{
public:
    void* Take()
    {
        if (!FFree.empty()) {
            void* place = FFree.back();
            FFree.pop_back();
            return place;
        }
        if (FUsed == FBlockSize)
            NewBlock();
        return FBlocks.back().Slots + FUsed++;
    }
    void Give(void* place) noexcept
    {
        if (FClosing)
            return;
        try {
            FFree.push_back(place);
        } catch (...) {
            // Out of memory: the place is simply not used again before the collection empties.
        }
    }
    // The collection expects to hold this many items in all: past a megabyte of them, the next
    // blocks are large ones at once, instead of the small blocks doubling up to a megabyte.
    void Expect(std::size_t total) { FExpected = total; }
    // Takes the blocks (and free places) of other, whose items become this pool's to give back.
    // The block this pool fills stays the one it fills; other is left empty.
    void Adopt(TItemPool& other)
    {
        // Room first: the moves below cannot fail, so no block is ever lost half-way.
        FBlocks.reserve(FBlocks.size() + other.FBlocks.size());
        FFree.reserve(FFree.size() + other.FFree.size());
        std::optional<TBlock> filling;
        if (!FBlocks.empty()) {
            filling.emplace(std::move(FBlocks.back()));
            FBlocks.pop_back();
        }
        for (TBlock& b : other.FBlocks)
            FBlocks.push_back(std::move(b));
        if (filling)
            FBlocks.push_back(std::move(*filling));
        FFree.insert(FFree.end(), other.FFree.begin(), other.FFree.end());
        FCapacity += other.FCapacity;
        other.FBlocks.clear();
        other.FFree.clear();
        other.FUsed = other.FBlockSize = other.FCapacity = 0;
    }
    // Every item is about to go: their places are not kept one by one.
    void Close() { FClosing = true; }
    // Only when no item of the pool is alive.
    void Release()
    {
        FBlocks.clear();
        FFree.clear();
        FFree.shrink_to_fit();
        FUsed = FBlockSize = FCapacity = FExpected = 0;
        FClosing = false;
    }

private:
    struct alignas(TItem) TSlot
    {
        std::byte Bytes[sizeof(TItem)];
    };
    static_assert(sizeof(TSlot) <= LargeBlockSize / 256, "a large block holds many items");
    struct TBlock
    {
        TBlock(std::size_t bytes, std::size_t align) : Align(align)
        {
            Slots = static_cast<TSlot*>(::operator new(bytes, std::align_val_t{align}));
        }
        ~TBlock()
        {
            if (Slots)
                ::operator delete(Slots, std::align_val_t{Align});
        }
        TBlock(TBlock&& o) noexcept : Slots(std::exchange(o.Slots, nullptr)), Align(o.Align) {}
        TBlock& operator=(TBlock&&) = delete;
        TSlot* Slots;
        std::size_t Align;
    };
    void NewBlock()
    {
        std::size_t count = std::max<std::size_t>(FCapacity, 8);
        std::size_t bytes = count * sizeof(TSlot);
        std::size_t align = alignof(TSlot);
        if (std::max(FCapacity + count, FExpected) * sizeof(TSlot) > (std::size_t{1} << 20)) {
            bytes = LargeBlockSize;
            count = bytes / sizeof(TSlot);
            align = LargeBlockAlign;
        }
        FBlocks.emplace_back(bytes, align);
        if (align == LargeBlockAlign)
            AdviseLargeBlock(FBlocks.back().Slots, bytes);
        FBlockSize = count;
        FCapacity += count;
        FUsed = 0;
    }
    std::vector<TBlock> FBlocks;
    std::vector<void*> FFree;
    std::size_t FUsed = 0, FBlockSize = 0, FCapacity = 0, FExpected = 0;
    bool FClosing = false;
};

// Ends an item and gives its place back to the pool it came from.
template <class TItem> struct TPoolDelete
{
    TItemPool<TItem>* Pool = nullptr;
    void operator()(TItem* item) const
    {
        item->~TItem();
        Pool->Give(item);
    }
};

template <class TItem> using TItemPtr = std::unique_ptr<TItem, TPoolDelete<TItem>>;

// Owns items of one class; Clear, Delete and Add mark the owning component modified.
template <class TItem> class TDataCollection : public TCollectionBase
{
public:
    explicit TDataCollection(TPersistentComponent* component) : FComponent(component) {}
    ~TDataCollection() override
    {
        FPool->Close();
        FItems.clear();
    }
    TDataCollection(const TDataCollection&) = delete;
    TDataCollection& operator=(const TDataCollection&) = delete;

    std::size_t Count() const override { return FItems.size(); }
    TItem& operator[](std::size_t i) { return *FItems.at(i); }
    const TItem& operator[](std::size_t i) const { return *FItems.at(i); }
    TPersistent& ItemAt(std::size_t i) override { return *FItems.at(i); }
    const TPersistent& ItemAt(std::size_t i) const override { return *FItems.at(i); }
    TPersistent& AddItem() override { return Add(); }
    void ClearItems() override { Clear(); }
    void DeleteItem(std::size_t index) override { Delete(index); }
    void ReserveItems(std::size_t n) override { Reserve(n); }
    const TPropTable& ItemProperties() const override { return TItem::Table(); }
    // Item classes whose setters only set their own fields while loading say so with
    // `static constexpr bool ReadInParts = true;`: their large collections are read in two parts.
    std::unique_ptr<TCollectionBase> NewPart() const override
    {
        if constexpr (requires { requires TItem::ReadInParts; })
            return std::make_unique<TDataCollection>(FComponent);
        else
            return nullptr;
    }
    void AppendPart(TCollectionBase& part) override
    {
        auto& other = static_cast<TDataCollection&>(part);
        FItems.reserve(FItems.size() + other.FItems.size());
        FPool->Adopt(*other.FPool);
        for (TItemPtr<TItem>& item : other.FItems) {
            item->SetCollection(this);
            FItems.emplace_back(item.release(), TPoolDelete<TItem>{FPool.get()});
        }
        other.FItems.clear();
        MarkModified();
    }

    TItem& Add()
    {
        FItems.push_back(Make());
        FItems.back()->SetCollection(this);
        MarkModified();
        return *FItems.back();
    }
    TItem& Insert(std::size_t index)
    {
        if (index > FItems.size())
            index = FItems.size();
        auto item = Make();
        auto it = FItems.insert(FItems.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
        (*it)->SetCollection(this);
        MarkModified();
        return **it;
    }
    void Delete(std::size_t index)
    {
        if (index >= FItems.size())
            return;
        FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(index));
        ReleaseIfEmpty();
        MarkModified();
    }
    void Clear()
    {
        FPool->Close();
        FItems.clear();
        ReleaseIfEmpty();
        MarkModified();
    }
    void Reserve(std::size_t n)
    {
        FItems.reserve(n);
        FPool->Expect(n);
    }
    // Puts the items in a new order: the item at order[i] becomes the i-th (order holds every index once).
    void Reorder(const std::vector<std::size_t>& order)
    {
        std::vector<TItemPtr<TItem>> items;
        items.reserve(order.size());
        for (const std::size_t i : order)
            items.push_back(std::move(FItems.at(i)));
        FItems = std::move(items);
        MarkModified();
    }
    // Deletes every item the predicate picks, in one pass; returns how many went.
    template <class TPred> std::size_t RemoveIf(TPred pred)
    {
        const auto first = std::remove_if(FItems.begin(), FItems.end(), [&pred](const TItemPtr<TItem>& i) {
            return pred(static_cast<const TItem&>(*i));
        });
        const auto removed = static_cast<std::size_t>(FItems.end() - first);
        FItems.erase(first, FItems.end());
        ReleaseIfEmpty();
        if (removed)
            MarkModified();
        return removed;
    }
    // The position of an item of this collection; Count() when it is not one.
    std::size_t IndexOf(const TItem* item) const
    {
        for (std::size_t i = 0; i < FItems.size(); ++i)
            if (FItems[i].get() == item)
                return i;
        return FItems.size();
    }
    // Moves an item to another position (the order of the items is data too).
    void Move(std::size_t from, std::size_t to)
    {
        if (from >= FItems.size() || to >= FItems.size() || from == to)
            return;
        auto item = std::move(FItems[from]);
        FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(from));
        FItems.insert(FItems.begin() + static_cast<std::ptrdiff_t>(to), std::move(item));
        MarkModified();
    }
    TPersistentComponent* Component() const { return FComponent; }

    auto begin() { return FItems.begin(); }
    auto end() { return FItems.end(); }
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    void MarkModified();
    TItemPtr<TItem> Make()
    {
        void* place = FPool->Take();
        try {
            return TItemPtr<TItem>(new (place) TItem(FComponent), TPoolDelete<TItem>{FPool.get()});
        } catch (...) {
            FPool->Give(place);
            throw;
        }
    }
    void ReleaseIfEmpty()
    {
        if (FItems.empty())
            FPool->Release();
    }
    TPersistentComponent* FComponent;
    // Declared before the items, so that it outlives them.
    std::unique_ptr<TItemPool<TItem>> FPool = std::make_unique<TItemPool<TItem>>();
    std::vector<TItemPtr<TItem>> FItems;
};

class TPersistentComponent : public TPersistent
{
public:
    explicit TPersistentComponent(TServices& services, std::string className);
    ~TPersistentComponent() override;
    TPersistentComponent(const TPersistentComponent&) = delete;
    TPersistentComponent& operator=(const TPersistentComponent&) = delete;

    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    const std::string& ClassName() const { return FClassName; }

    // Published properties.
    std::int32_t Tag() const { return FTag; }
    void SetTag(std::int32_t v) { FTag = v; }
    std::int32_t Version() const { return FVersion; }
    void SetVersion(std::int32_t v);
    bool AskOnLoadError() const { return FAskOnLoadError; }
    void SetAskOnLoadError(bool v) { FAskOnLoadError = v; }
    std::function<void()> OnChange;
    std::function<void()> OnLoaded;

    // Trims and stores the name; creates a missing file with the current data, makes the file
    // writable and loads it. On failure the name is cleared and the exception passes on.
    void SetFileName(const std::string& name);
    const std::string& FileName() const { return FFileName; }
    std::string FilePath() const;

    virtual void Load();
    virtual void Save();
    virtual void AfterLoad();

    void SetModified(bool value);
    void MarkChanged() { SetModified(true); }
    bool Modified() const { return FModified; }
    bool Loading() const { return FLoading; }
    bool FileExisted() const { return FFileExisted; }
    bool SaveFailed() const { return FSaveFailed; }
    TServices& Services() const { return FServices; }
    bool SuppressChange = false;
    bool CheckVersion(std::int32_t n);
    // Reads another file of the same format into this component; a file that cannot be read
    // whole changes nothing.
    void ImportFromFile(const std::string& name);
    // A new component of the same class with its creation values and no file (what an import is
    // checked against before it touches this one).
    virtual std::unique_ptr<TPersistentComponent> NewEmpty() const;
    Timer& AutoSaveTimer() { return *FAutoSaveTimer; }

    // The stream image of this component, and reading one into it (raises EReadError).
    TBytes WriteToBytes();
    // The same into a buffer whose memory is reused (its content is replaced).
    void WriteToBytes(TBytes& out);
    void ReadFromBytes(const TBytes& bytes);
    // Reads what can be read of a damaged stream: unknown properties are skipped, a broken item is
    // left out and reading goes on at the next item's start. Never raises for damage.
    TSalvageReport ReadFromBytesSalvaging(const TBytes& bytes);
    // Applies only to components with AskOnLoadError; set before the file name.
    TRescuePolicy RescuePolicy = TRescuePolicy::rpAsk;
    // Filled by a load that had to salvage the file.
    const TSalvageReport& LastSalvage() const { return FLastSalvage; }

protected:
    // Owners call this in their destructor: saves when modified.
    void SaveIfModified();
    TServices& FServices;

private:
    void OnAutoSave();
    // A file that could not be read whole: moved aside, rescued or asked about, as the policy says.
    void OnReadFailure(const std::string& path, const TBytes& bytes, const std::string& reason);
    // Moves a damaged file to name + "@error", keeping an earlier one under a numbered name.
    bool MoveAside(const std::string& path);
    std::string FClassName;
    std::int32_t FTag = 0;
    std::int32_t FVersion = 0;
    bool FAskOnLoadError = false;
    std::string FFileName;
    bool FModified = false;
    bool FLoading = false;
    bool FFileExisted = false;
    bool FSaveFailed = false;
    std::unique_ptr<Timer> FAutoSaveTimer;
    std::size_t FLastStreamSize = 0;
    TSalvageReport FLastSalvage;
};

template <class TItem> void TDataCollection<TItem>::MarkModified()
{
    StoredEmpty = false;
    if (FComponent)
        FComponent->SetModified(true);
}

inline void TDataCollectionItem::Changed(bool value)
{
    if (FCollection)
        FCollection->StoredEmpty = false;
    if (FComponent)
        FComponent->SetModified(value);
}

// Second parts of large collections read on another thread since the program started (for tests
// and benchmarks; a collection read on one thread has the same items, only later). Taken: appended
// to their collection. Not taken: started at what was not an item's start, or failed to read.
struct TReadInParts
{
    std::size_t Taken = 0;
    std::size_t NotTaken = 0;
};
TReadInParts ReadInPartsCounts();

// Writes and reads the properties of any persistent object in the stream format.
void WriteComponentStream(TStreamWriter& w, TPersistent& root, const std::string& className);
// Reads the stream into root; returns the class name stored in the header.
// With salvage given, damage is recorded there instead of raised, and reading goes on where it can.
std::string ReadComponentStream(TStreamReader& r, TPersistent& root, TSalvageReport* salvage = nullptr);
// The class name in the header of a stream (raises EReadError).
std::string PeekClassName(const TBytes& bytes);

} // namespace qv
