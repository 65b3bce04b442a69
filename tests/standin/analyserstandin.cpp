// A stand-in for an analyser on the LAN or on USB, for the tests and benchmarks: the simulated
// analyser behind a SCPI socket on 127.0.0.1 (port 0: the system picks one), behind a
// pseudo-terminal in raw mode in place of /dev/usbtmc*, or behind a VXI-11 core channel on
// 127.0.0.1 registered with rpcbind. It prints "ready <address>" once it serves, and serves
// until it is ended. Options make it fail as real instruments do:
//   --silent            never answers
//   --not-number-at K   answers the K-th marker Y query with "OVLD"
//   --close-at K        ends (closing every connection) at the K-th marker Y query
//   --delay MS          waits MS milliseconds before each reply
//   --late-at K         answers the K-th marker Y query 1.3 s late, after the caller's time-out
//   --idn TEXT          answers *IDN? with TEXT
//   --second-line       answers *IDN? with a second line, "-99.5"
// "analyserstandin unregister" removes a VXI-11 registration left behind.
//
// "analyserstandin sweep" serves an analyser and a signal source, both on 127.0.0.1, and prints
// "ready <analyser address> <source address>". The source takes "FREQ f" (any command ending in
// a number) and answers *OPC? with 1; once it is tuned, the analyser's peak search finds its
// tone when the analyser is centred near it ("FREQ:CENT f"), with a level on the simulated
// analyser's source roll-off, and the noise floor otherwise. Options:
//   --log FILE               appends "analyser COMMAND" or "source COMMAND" for each command
//   --source-silent-after K  the source answers nothing after its K-th *OPC?
#include <QByteArray>
#include <QThread>

#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include "instrument/simulatedanalyser.h"
#include "vxi11core.h"

extern "C" void device_core_1(struct svc_req *request, SVCXPRT *transport);

namespace {

struct Behaviour
{
    bool silent = false;
    int notNumberAt = 0;
    int closeAt = 0;
    int delayMs = 0;
    int lateAt = 0;
    QByteArray identity = "Vantorel,Loopback SA-1,0,1.0";
    bool secondLine = false;
    int sourceSilentAfter = 0;
    FILE *log = nullptr;
};

// Both instruments of a sweep stand-in share one simulated driver, so that the analyser sees
// the source's tone; their connections are served on threads of their own.
std::mutex driverLock;

// The simulated analyser at its GPIB address, answering one command at a time.
class Analyser
{
public:
    explicit Analyser(const Behaviour &behaviour, SimulatedAnalyser *shared = nullptr,
                      int address = SimulatedAnalyser::address)
        : behaviour(behaviour), driver(shared ? *shared : own), address(address)
    {
        device = driver.ibdev(0, address, 0, 11, 1, 0);
    }

    // The reply to command, empty for none. A command that closes the stand-in ends it here.
    QByteArray handle(QByteArray command)
    {
        command = command.trimmed();
        if (behaviour.silent || command.isEmpty())
            return QByteArray();
        const std::lock_guard<std::mutex> lock(driverLock);
        if (behaviour.log) {
            std::fprintf(behaviour.log, "%s %s\n",
                         address == SimulatedAnalyser::sourceAddress ? "source" : "analyser",
                         command.constData());
            std::fflush(behaviour.log);
        }
        if (address == SimulatedAnalyser::sourceAddress && command == "*OPC?" &&
            behaviour.sourceSilentAfter > 0 && ++completions > behaviour.sourceSilentAfter)
            behaviour.silent = true;
        if (behaviour.silent)
            return QByteArray();
        if (behaviour.delayMs > 0)
            QThread::msleep(static_cast<unsigned long>(behaviour.delayMs));
        if (command == "*IDN?")
            return behaviour.identity + (behaviour.secondLine ? "\n-99.5\n" : "\n");
        if (command == "CALC:MARK:Y?" && ++readings == behaviour.closeAt)
            std::_Exit(0);
        if (command == "CALC:MARK:Y?" && readings == behaviour.lateAt)
            QThread::msleep(1300);
        if (command == "CALC:MARK:Y?" && readings == behaviour.notNumberAt)
            return "OVLD\n";
        driver.ibwrt(device, command.constData(), command.size());
        if (!command.endsWith('?'))
            return QByteArray();
        char buffer[1024];
        driver.ibrd(device, buffer, sizeof buffer);
        return QByteArray(buffer, driver.ThreadIbcnt());
    }

private:
    Behaviour behaviour;
    SimulatedAnalyser own;
    SimulatedAnalyser &driver;
    int address;
    int device = 0;
    int readings = 0;
    int completions = 0;
};

Analyser *analyser = nullptr;

void ready(const QByteArray &address)
{
    std::printf("ready %s\n", address.constData());
    std::fflush(stdout);
}

// Answers each line that comes on file, writing the replies to file.
void serveLines(int file, Analyser *instrument = analyser)
{
    QByteArray pending;
    char buffer[1024];
    ssize_t count;
    while ((count = read(file, buffer, sizeof buffer)) > 0) {
        pending.append(buffer, static_cast<int>(count));
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray reply = instrument->handle(pending.left(end));
            pending.remove(0, end + 1);
            if (!reply.isEmpty() && write(file, reply.constData(), reply.size()) < 0)
                return;
        }
    }
}

// A listener on 127.0.0.1 at a port the system picks: its descriptor and its address, or -1.
int listenOnLoopback(QByteArray *where)
{
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr *>(&address), length) < 0 ||
        listen(listener, 4) < 0 ||
        getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) < 0) {
        std::perror("analyserstandin: socket");
        return -1;
    }
    *where = "127.0.0.1:" + QByteArray::number(ntohs(address.sin_port));
    return listener;
}

// Serves the connections that come to listener, one after the other.
[[noreturn]] void acceptLoop(int listener, Analyser *instrument)
{
    for (;;) {
        const int connection = accept(listener, nullptr, nullptr);
        if (connection < 0)
            continue;
        serveLines(connection, instrument);
        close(connection);
    }
}

int serveSocket()
{
    QByteArray where;
    const int listener = listenOnLoopback(&where);
    if (listener < 0)
        return 1;
    ready(where);
    acceptLoop(listener, analyser);
}

// The analyser and the source of a sweep, each behind a listener of its own.
int serveSweep(const Behaviour &behaviour)
{
    static SimulatedAnalyser driver;
    static Analyser sweptAnalyser(behaviour, &driver, SimulatedAnalyser::address);
    static Analyser source(behaviour, &driver, SimulatedAnalyser::sourceAddress);
    QByteArray analyserWhere;
    QByteArray sourceWhere;
    const int analyserListener = listenOnLoopback(&analyserWhere);
    const int sourceListener = listenOnLoopback(&sourceWhere);
    if (analyserListener < 0 || sourceListener < 0)
        return 1;
    std::thread(acceptLoop, sourceListener, &source).detach();
    ready(analyserWhere + ' ' + sourceWhere);
    acceptLoop(analyserListener, &sweptAnalyser);
}

// The terminal's far end stays open here, so that the device keeps working between the
// program's connections; raw mode passes every byte as it is, without echo.
int serveTerminal()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) < 0 || unlockpt(master) < 0) {
        std::perror("analyserstandin: pseudo-terminal");
        return 1;
    }
    const QByteArray name = ptsname(master);
    const int slave = open(name.constData(), O_RDWR | O_NOCTTY);
    termios settings;
    if (slave < 0 || tcgetattr(slave, &settings) < 0) {
        std::perror("analyserstandin: pseudo-terminal");
        return 1;
    }
    cfmakeraw(&settings);
    tcsetattr(slave, TCSANOW, &settings);
    ready(name);
    serveLines(master);
    return 0;
}

void unregister(int)
{
    pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION);
    std::_Exit(0);
}

int serveVxi11()
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) < 0 ||
        listen(listener, 4) < 0) {
        std::perror("analyserstandin: socket");
        return 1;
    }
    SVCXPRT *transport = svctcp_create(listener, 0, 0);
    pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION);
    if (!transport ||
        !svc_register(transport, DEVICE_CORE, DEVICE_CORE_VERSION, device_core_1, IPPROTO_TCP)) {
        std::fprintf(stderr, "analyserstandin: could not register the VXI-11 core channel with "
                             "rpcbind: is rpcbind running?\n");
        return 2;
    }
    std::signal(SIGTERM, unregister);
    std::signal(SIGINT, unregister);
    ready("127.0.0.1");
    svc_run();
    return 0;
}

QByteArray pendingReply;

} // namespace

// The VXI-11 core channel: one link, writes handed to the analyser, its reply read whole.
extern "C" {

Create_LinkResp *create_link_1_svc(Create_LinkParms *, struct svc_req *)
{
    static Create_LinkResp result;
    result = {0, 1, 0, 1024};
    return &result;
}

Device_WriteResp *device_write_1_svc(Device_WriteParms *parameters, struct svc_req *)
{
    static Device_WriteResp result;
    pendingReply = analyser->handle(
        QByteArray(parameters->data.data_val, static_cast<int>(parameters->data.data_len)));
    result = {0, parameters->data.data_len};
    return &result;
}

// No reply at all when the analyser has none: the caller's time-out ends the wait.
Device_ReadResp *device_read_1_svc(Device_ReadParms *, struct svc_req *)
{
    static Device_ReadResp result;
    static QByteArray sent;
    if (pendingReply.isEmpty())
        return nullptr;
    sent = pendingReply;
    pendingReply.clear();
    result.error = 0;
    result.reason = 4; // END
    result.data.data_val = sent.data();
    result.data.data_len = static_cast<u_int>(sent.size());
    return &result;
}

Device_ReadStbResp *device_readstb_1_svc(Device_GenericParms *, struct svc_req *)
{
    static Device_ReadStbResp result;
    return &result;
}

static Device_Error *noError()
{
    static Device_Error result;
    result.error = 0;
    return &result;
}

Device_Error *device_trigger_1_svc(Device_GenericParms *, struct svc_req *)
{
    return noError();
}
Device_Error *device_clear_1_svc(Device_GenericParms *, struct svc_req *)
{
    return noError();
}
Device_Error *device_remote_1_svc(Device_GenericParms *, struct svc_req *)
{
    return noError();
}
Device_Error *device_local_1_svc(Device_GenericParms *, struct svc_req *)
{
    return noError();
}
Device_Error *device_lock_1_svc(Device_LockParms *, struct svc_req *)
{
    return noError();
}
Device_Error *device_unlock_1_svc(Device_Link *, struct svc_req *)
{
    return noError();
}
Device_Error *device_enable_srq_1_svc(Device_EnableSrqParms *, struct svc_req *)
{
    return noError();
}
Device_DocmdResp *device_docmd_1_svc(Device_DocmdParms *, struct svc_req *)
{
    static Device_DocmdResp result;
    result.error = 8; // operation not supported
    return &result;
}
Device_Error *destroy_link_1_svc(Device_Link *, struct svc_req *)
{
    return noError();
}
Device_Error *create_intr_chan_1_svc(Device_RemoteFunc *, struct svc_req *)
{
    return noError();
}
Device_Error *destroy_intr_chan_1_svc(void *, struct svc_req *)
{
    return noError();
}
int device_core_1_freeresult(SVCXPRT *, xdrproc_t, caddr_t)
{
    return 1;
}

} // extern "C"

int main(int argc, char *argv[])
{
    const QByteArray kind = argc > 1 ? argv[1] : "";
    Behaviour behaviour;
    for (int i = 2; i < argc; ++i) {
        const QByteArray option = argv[i];
        const int value = i + 1 < argc ? std::atoi(argv[i + 1]) : 0;
        if (option == "--silent")
            behaviour.silent = true;
        else if (option == "--not-number-at")
            behaviour.notNumberAt = value, ++i;
        else if (option == "--close-at")
            behaviour.closeAt = value, ++i;
        else if (option == "--delay")
            behaviour.delayMs = value, ++i;
        else if (option == "--late-at")
            behaviour.lateAt = value, ++i;
        else if (option == "--idn" && i + 1 < argc)
            behaviour.identity = argv[++i];
        else if (option == "--second-line")
            behaviour.secondLine = true;
        else if (option == "--source-silent-after")
            behaviour.sourceSilentAfter = value, ++i;
        else if (option == "--log" && i + 1 < argc)
            behaviour.log = std::fopen(argv[++i], "a");
    }
    Analyser simulated(behaviour);
    analyser = &simulated;
    if (kind == "lan")
        return serveSocket();
    if (kind == "pty")
        return serveTerminal();
    if (kind == "sweep")
        return serveSweep(behaviour);
    if (kind == "vxi11")
        return serveVxi11();
    if (kind == "unregister") {
        pmap_unset(DEVICE_CORE, DEVICE_CORE_VERSION);
        return 0;
    }
    std::fprintf(stderr, "usage: analyserstandin lan|pty|vxi11|sweep|unregister [options]\n");
    return 2;
}
