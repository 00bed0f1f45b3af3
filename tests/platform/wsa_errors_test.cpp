#include "wsa_errors.h"

#include <errno.h>
#include <gtest/gtest.h>

namespace {

struct Case {
    int errnum;
    int wsa;
};

TEST(WsaErrorFromErrno, MapsEveryKnownErrnoToItsWindowsSocketsNumber) {
    const Case cases[] = {
        {EINTR, 10004},           {EBADF, 10009},         {EACCES, 10013},
        {EFAULT, 10014},          {EINVAL, 10022},        {EMFILE, 10024},
        {EWOULDBLOCK, 10035},     {EAGAIN, 10035},        {EINPROGRESS, 10036},
        {EALREADY, 10037},        {ENOTSOCK, 10038},      {EDESTADDRREQ, 10039},
        {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},    {ENOPROTOOPT, 10042},
        {EPROTONOSUPPORT, 10043}, {EOPNOTSUPP, 10045},    {EAFNOSUPPORT, 10047},
        {EADDRINUSE, 10048},      {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},
        {ENETUNREACH, 10051},     {ENETRESET, 10052},     {ECONNABORTED, 10053},
        {ECONNRESET, 10054},      {ENOBUFS, 10055},       {EISCONN, 10056},
        {ENOTCONN, 10057},        {ESHUTDOWN, 10058},     {ETIMEDOUT, 10060},
        {ECONNREFUSED, 10061},    {EHOSTDOWN, 10064},     {EHOSTUNREACH, 10065},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plat::WsaErrorFromErrno(c.errnum), c.wsa) << "errno " << c.errnum;
    }
}

TEST(WsaErrorFromErrno, ReportsABrokenPipeAsAResetByThePeer) {
    EXPECT_EQ(plat::WsaErrorFromErrno(EPIPE), 10054);
}

TEST(WsaErrorFromErrno, PassesAnErrnoWithoutCounterpartThroughUnchanged) {
    for (int errnum : {0, ENOENT, ENOMEM, ENOSPC, 9999}) {
        EXPECT_EQ(plat::WsaErrorFromErrno(errnum), errnum);
    }
}

}  // namespace
