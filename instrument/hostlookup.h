#ifndef HOSTLOOKUP_H
#define HOSTLOOKUP_H

#include <QString>

#include <sys/socket.h>

#include <vector>

struct addrinfo;

// Finds the addresses of a host within a time limit. The system's resolver has no time-out of
// its own, so it runs as a BoundedCall; a lookup that takes too long is abandoned and finishes
// there unseen.
class HostLookup
{
public:
    // The function that resolves, with the arguments and results of getaddrinfo.
    using Resolver = int (*)(const char *host, const char *service, const struct addrinfo *hints,
                             struct addrinfo **result);

    struct Address
    {
        sockaddr_storage storage;
        socklen_t length;
        int family;
    };

    // The TCP addresses of host (a name, an IPv4 or an IPv6 address) at port. Empty when
    // there are none, and then *error says why: the resolver's reason, or that it did not
    // answer within timeoutMs.
    static std::vector<Address> resolve(const QString &host, quint16 port, int timeoutMs,
                                        QString *error);

    // The numeric text of an address, "127.0.0.1" or "::1".
    static QString numeric(const Address &address);

    // Puts resolver in place of getaddrinfo (nullptr: back to getaddrinfo); tests use it to
    // stand in for a name server that does not answer.
    static void setResolver(Resolver resolver);
};

#endif // HOSTLOOKUP_H
