#include "platform/linux/NetlinkLinks.h"

#include "platform/linux/WorkerWake.h"
#include "platform/linux/Modules.h"

#include <cstring>
#include <linux/if.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <map>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// The kernel's netlink macros (NLMSG_NEXT, RTA_NEXT, IFLA_RTA) are written with C casts.
#pragma GCC diagnostic ignored "-Wold-style-cast"

namespace qv {

namespace {

// Asks the kernel for every link (a dump of RTM_NEWLINK messages ending with NLMSG_DONE).
bool AskForEveryLink(int sock)
{
    struct
    {
        nlmsghdr Header;
        ifinfomsg Info;
    } request{};
    request.Header.nlmsg_len = sizeof request;
    request.Header.nlmsg_type = RTM_GETLINK;
    request.Header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.Header.nlmsg_seq = 1;
    request.Info.ifi_family = AF_UNSPEC;
    return ::send(sock, &request, sizeof request, 0) > 0;
}

} // namespace

TNetlinkLinks::~TNetlinkLinks()
{
    *FAlive = false;
    Stop();
}

void TNetlinkLinks::Start(TOnLinks onLinks)
{
    Stop();
    const int sock = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (sock < 0) {
        onLinks({});
        return;
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK;
    // Subscribed before the dump, so that no change falls between the two.
    if (::bind(sock, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(sock);
        onLinks({});
        return;
    }
    if (!AskForEveryLink(sock)) {
        ::close(sock);
        onLinks({});
        return;
    }
    FWakeFd = MakeWakeFd();
    FWorker = std::thread([this, onLinks = std::move(onLinks), sock] { Watch(onLinks, sock); });
}

void TNetlinkLinks::Stop()
{
    EndWorker(FWorker, FWakeFd);
    // What the stopped watch posted and the main loop has not run yet is dropped.
    *FAlive = false;
    FAlive = std::make_shared<std::atomic<bool>>(true);
}

void TNetlinkLinks::Watch(TOnLinks onLinks, int sock)
{
    auto alive = FAlive;
    struct TInterface
    {
        std::string Name;
        bool Up = false;
    };
    std::map<int, TInterface> interfaces; // by index
    std::optional<TNetLinks> last;
    bool dumping = true; // a dump spans several reads: the set is reported once it is whole
    alignas(nlmsghdr) char buffer[32768];
    for (;;) {
        pollfd fds[2] = {{sock, POLLIN, 0}, {FWakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN)
            break;
        if (!(fds[0].revents & POLLIN))
            continue;
        const ssize_t got = ::recv(sock, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0) {
            if (errno == ENOBUFS) {
                // Messages were lost: what is known may be wrong, so ask for everything again.
                interfaces.clear();
                dumping = AskForEveryLink(sock);
            }
            continue;
        }
        auto length = static_cast<unsigned>(got);
        for (auto* h = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(h, length); h = NLMSG_NEXT(h, length)) {
            if (h->nlmsg_type == NLMSG_DONE || h->nlmsg_type == NLMSG_ERROR)
                dumping = false;
            if (h->nlmsg_type != RTM_NEWLINK && h->nlmsg_type != RTM_DELLINK)
                continue;
            const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(h));
            if (h->nlmsg_type == RTM_DELLINK) {
                interfaces.erase(info->ifi_index);
                continue;
            }
            TInterface& i = interfaces[info->ifi_index];
            i.Up = (info->ifi_flags & IFF_UP) != 0 && (info->ifi_flags & IFF_LOOPBACK) == 0;
            int attrLength = static_cast<int>(IFLA_PAYLOAD(h));
            for (auto* a = IFLA_RTA(info); RTA_OK(a, attrLength); a = RTA_NEXT(a, attrLength))
                if (a->rta_type == IFLA_IFNAME)
                    i.Name.assign(static_cast<const char*>(RTA_DATA(a)),
                                  strnlen(static_cast<const char*>(RTA_DATA(a)), RTA_PAYLOAD(a)));
        }
        if (dumping)
            continue;
        TNetLinks links;
        for (const auto& [index, i] : interfaces)
            if (i.Up && !i.Name.empty())
                links[i.Name] = TNetLink{i.Name, {}, {}, false, {}};
        if (!last || *last != links) {
            last = links;
            FTimers.Post([alive, onLinks, links] {
                if (*alive && onLinks)
                    onLinks(links);
            });
        }
    }
    ::close(sock);
}

std::unique_ptr<ILinkWatcher> MakeLinkWatcher(TimerService& timers)
{
    return std::make_unique<TMergedLinks>(modules::NetworkManagerLinks(timers),
                                          std::make_unique<TNetlinkLinks>(timers));
}

} // namespace qv
