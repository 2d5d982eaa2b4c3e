// SCHED_FIFO, the rtkit request over D-Bus, and the one report of a refusal.
#include "platform/realtime.h"

#include <dbus/dbus.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/message_service.h"

namespace {

// rtkit grants real-time only to a process that limits how long its real-time threads may run
// without blocking, so a runaway one cannot lock the machine; this is its usual ceiling.
constexpr rlim_t kRealtimeCpuLimitUs = 200000;

bool AskRtkit(pid_t nTid, int nPriority, std::string& strReason) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_RTTIME, &limit) == 0 &&
        (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > kRealtimeCpuLimitUs)) {
        limit.rlim_cur = limit.rlim_max = kRealtimeCpuLimitUs;
        ::setrlimit(RLIMIT_RTTIME, &limit);
    }
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* pBus = dbus_bus_get_private(DBUS_BUS_SYSTEM, &error);
    if (pBus == nullptr) {
        strReason = std::string("rtkit: ") + (error.message != nullptr ? error.message : "no system bus");
        dbus_error_free(&error);
        return false;
    }
    dbus_connection_set_exit_on_disconnect(pBus, FALSE);
    DBusMessage* pCall =
        dbus_message_new_method_call("org.freedesktop.RealtimeKit1", "/org/freedesktop/RealtimeKit1",
                                     "org.freedesktop.RealtimeKit1", "MakeThreadRealtime");
    bool bOk = false;
    if (pCall != nullptr) {
        const dbus_uint64_t nThread = static_cast<dbus_uint64_t>(nTid);
        const dbus_uint32_t nPrio = static_cast<dbus_uint32_t>(nPriority);
        dbus_message_append_args(pCall, DBUS_TYPE_UINT64, &nThread, DBUS_TYPE_UINT32, &nPrio,
                                 DBUS_TYPE_INVALID);
        DBusMessage* pReply = dbus_connection_send_with_reply_and_block(pBus, pCall, 1000, &error);
        if (pReply != nullptr) {
            bOk = dbus_message_get_type(pReply) != DBUS_MESSAGE_TYPE_ERROR;
            dbus_message_unref(pReply);
        }
        if (!bOk) strReason = std::string("rtkit: ") + (error.message != nullptr ? error.message : "refused");
        dbus_message_unref(pCall);
    }
    dbus_error_free(&error);
    dbus_connection_close(pBus);
    dbus_connection_unref(pBus);
    return bOk;
}

}  // namespace

bool MakeThreadRealtime(pthread_t thread, pid_t nTid, int nPriority, std::string& strReason) {
    sched_param param{};
    param.sched_priority = nPriority;
    // Reset on fork: a helper a thread starts must not inherit the priority.
    const int nError = ::pthread_setschedparam(thread, SCHED_FIFO | SCHED_RESET_ON_FORK, &param);
    if (nError == 0) return true;
    std::string strRtkit;
    if (AskRtkit(nTid, nPriority, strRtkit)) return true;
    strReason = std::string("SCHED_FIFO: ") + std::strerror(nError) + "; " + strRtkit;
    return false;
}

bool MakeThisThreadRealtime(int nPriority, std::string& strReason) {
    return MakeThreadRealtime(::pthread_self(), ::gettid(), nPriority, strReason);
}

void SetThisThreadName(const char* pszName) { ::pthread_setname_np(::pthread_self(), pszName); }

void ReportRealtimeRefused(const std::string& strReason) {
    static std::atomic<bool> s_bTold{false};
    if (s_bTold.exchange(true)) return;
    LogLine("real-time scheduling was refused (" + strReason + "): the sound may drop out under load");
}
