#include "instrument/hostlookup.h"

#include <netdb.h>
#include <netinet/in.h>

#include <atomic>
#include <cstring>
#include <string>

#include "instrument/boundedcall.h"
#include "instrument/instrumentconnection.h"

namespace {

std::atomic<HostLookup::Resolver> installedResolver{nullptr};

// What the resolver answered: its status, and the addresses when it found some.
struct Resolved
{
    int status = 0;
    std::vector<HostLookup::Address> addresses;
};

} // namespace

void HostLookup::setResolver(Resolver resolver)
{
    installedResolver = resolver;
}

std::vector<HostLookup::Address> HostLookup::resolve(const QString &host, quint16 port,
                                                     int timeoutMs, QString *error)
{
    const std::string name = host.toStdString();
    const std::string service = std::to_string(port);
    Resolver resolver = installedResolver.load();
    if (!resolver)
        resolver = &::getaddrinfo;
    const std::optional<Resolved> lookup =
        BoundedCall::run<Resolved>(timeoutMs, [name, service, resolver] {
            addrinfo hints;
            std::memset(&hints, 0, sizeof hints);
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_flags = AI_NUMERICSERV;
            addrinfo *result = nullptr;
            Resolved resolved;
            resolved.status = resolver(name.c_str(), service.c_str(), &hints, &result);
            for (addrinfo *entry = result; resolved.status == 0 && entry; entry = entry->ai_next) {
                if (entry->ai_addrlen > sizeof(sockaddr_storage))
                    continue;
                Address address;
                std::memset(&address.storage, 0, sizeof address.storage);
                std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
                address.length = entry->ai_addrlen;
                address.family = entry->ai_family;
                resolved.addresses.push_back(address);
            }
            if (result)
                freeaddrinfo(result);
            return resolved;
        });
    if (!lookup) {
        *error =
            InstrumentConnection::tr("the name was not found within %1 s").arg(timeoutMs / 1000.0);
        return {};
    }
    if (lookup->status != 0) {
        *error = QString::fromLocal8Bit(gai_strerror(lookup->status));
        return {};
    }
    if (lookup->addresses.empty())
        *error = InstrumentConnection::tr("the name has no address");
    return lookup->addresses;
}

QString HostLookup::numeric(const Address &address)
{
    char text[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr *>(&address.storage), address.length, text,
                    sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
        return QString();
    return QString::fromLatin1(text);
}
