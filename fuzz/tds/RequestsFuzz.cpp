// libFuzzer target over the TDS server's parsers of client messages: the packet header,
// PRELOGIN, LOGIN7, SQL batches, RPC calls (every parameter type) and transaction requests, and
// the statement an RPC call becomes. Any input must end in a value or a refusal, never in a
// crash, a read beyond the buffer or a hang.
//
// The first byte chooses how the rest is read: as it is by every parser, or with the fields a
// parser checks first made valid (LOGIN7's total length, the ALL_HEADERS of an RPC call or a
// batch), so that the fuzzer spends its time on the option table, the offsets and lengths of
// LOGIN7's strings and the parameter values, truncated or oversized.

#include "FuzzOptions.h"

#include "tds/Requests.h"
#include "tds/RpcBatch.h"
#include "tds/Wire.h"

#include <cstddef>
#include <cstdint>

namespace {

void bindCalls(const QList<tds::RpcCall>& calls) {
    for (const tds::RpcCall& call : calls) {
        tds::procedureOf(call);
        QString error;
        const QString declarations =
            call.parameters.isEmpty() ? QString() : call.parameters.first().text.value_or(QString());
        tds::bindParameters(declarations, QStringLiteral("SELECT 1"), call.parameters, 1, error);
    }
}

// The bytes after an ALL_HEADERS of its own length only (the shortest one a client may send).
QByteArray withHeaders(QByteArrayView rest) {
    tds::Writer w;
    w.u32(4);
    w.bytes(rest);
    return w.data();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > fuzz::MaxInput)
        return 0;
    const QByteArrayView rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    switch (data[0] % 4) {
    case 0: {
        tds::parseHeader(rest);
        tds::parsePreLogin(rest);
        tds::parseLogin7(rest);
        tds::parseSqlBatch(rest);
        tds::parseTransactionRequest(rest);
        if (const auto calls = tds::parseRpc(rest))
            bindCalls(*calls);
        break;
    }
    case 1: {
        // LOGIN7 whose total length is right: its fixed part and strings are what is left.
        QByteArray login = rest.toByteArray();
        if (login.size() >= 4) {
            tds::Writer w;
            w.u32(quint32(login.size()));
            login.replace(0, 4, w.data());
        }
        tds::parseLogin7(login);
        break;
    }
    case 2:
        if (const auto calls = tds::parseRpc(withHeaders(rest)))
            bindCalls(*calls);
        break;
    default: {
        tds::parsePreLogin(rest);
        const QByteArray headed = withHeaders(rest);
        tds::parseSqlBatch(headed);
        tds::parseTransactionRequest(headed);
        break;
    }
    }
    return 0;
}
