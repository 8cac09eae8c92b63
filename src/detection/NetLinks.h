#pragma once
// The network links that are up, as the data plans follow them: NetworkManager's active connections
// (each with its UUID, its name, whether it is metered, and the interface that carries its traffic)
// and the interfaces NetworkManager does not manage (pppd's, a hand-made tunnel), which carry no
// UUID. A watcher reports the whole set on the main thread when it starts and at every change, and
// takes a link down when a plan's limit asks it to.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qv {

struct TNetLink
{
    std::string Interface;
    std::string ConnectionUuid; // empty: a link NetworkManager does not manage
    std::string ConnectionName;
    bool Metered = false;
    std::string Handle; // the watcher's own name for the link (NetworkManager's active connection)
    bool operator==(const TNetLink&) const = default;
};
using TNetLinks = std::map<std::string, TNetLink>; // by interface

// NetworkManager's links, and every other interface that is up (loopback aside) as a link of its own.
inline TNetLinks MergeLinks(const TNetLinks& managed, const TNetLinks& others)
{
    TNetLinks all = managed;
    for (const auto& [interface, link] : others)
        all.emplace(interface, link);
    return all;
}

class ILinkWatcher
{
public:
    using TOnLinks = std::function<void(const TNetLinks&)>;
    virtual ~ILinkWatcher() = default;
    virtual void Start(TOnLinks onLinks) = 0;
    virtual void Stop() = 0;
    // Takes the link down; false when it cannot (then the caller hangs up what it dialled itself).
    virtual bool Disconnect(const TNetLink& link) = 0;
};

// Links set by a test or a demonstration.
class TSimLinkWatcher : public ILinkWatcher
{
public:
    void Start(TOnLinks onLinks) override
    {
        FOnLinks = std::move(onLinks);
        Report();
    }
    void Stop() override { FOnLinks = nullptr; }
    bool Disconnect(const TNetLink& link) override
    {
        Disconnected.push_back(link.Interface);
        if (link.ConnectionUuid.empty())
            return false;
        Links.erase(link.Interface);
        Report();
        return true;
    }
    void Set(TNetLinks links)
    {
        Links = std::move(links);
        Report();
    }
    TNetLinks Links;
    std::vector<std::string> Disconnected;

private:
    void Report()
    {
        if (FOnLinks)
            FOnLinks(Links);
    }
    TOnLinks FOnLinks;
};

// NetworkManager's links together with the other interfaces that are up, reported as one set.
class TMergedLinks : public ILinkWatcher
{
public:
    TMergedLinks(std::unique_ptr<ILinkWatcher> managed, std::unique_ptr<ILinkWatcher> others)
        : FManaged(std::move(managed)), FOthers(std::move(others))
    {
    }
    ~TMergedLinks() override { Stop(); }
    void Start(TOnLinks onLinks) override
    {
        FOnLinks = std::move(onLinks);
        if (FManaged)
            FManaged->Start([this](const TNetLinks& links) { Update(FManagedLinks, links); });
        if (FOthers)
            FOthers->Start([this](const TNetLinks& links) { Update(FOtherLinks, links); });
    }
    void Stop() override
    {
        if (FManaged)
            FManaged->Stop();
        if (FOthers)
            FOthers->Stop();
        FOnLinks = nullptr;
    }
    bool Disconnect(const TNetLink& link) override
    {
        ILinkWatcher* owner = link.ConnectionUuid.empty() ? FOthers.get() : FManaged.get();
        return owner && owner->Disconnect(link);
    }

private:
    void Update(TNetLinks& part, const TNetLinks& links)
    {
        part = links;
        const TNetLinks all = MergeLinks(FManagedLinks, FOtherLinks);
        if (all != FLast) {
            FLast = all;
            if (FOnLinks)
                FOnLinks(all);
        }
    }
    std::unique_ptr<ILinkWatcher> FManaged, FOthers;
    TNetLinks FManagedLinks, FOtherLinks, FLast;
    TOnLinks FOnLinks;
};

} // namespace qv
