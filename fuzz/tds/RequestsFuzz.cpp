// libFuzzer target over the TDS server's parsers of client messages: the packet header,
// PRELOGIN, LOGIN7, SQL batches, RPC calls (every parameter type) and transaction requests, and
// the statement an RPC call becomes. Any input must end in a value or a refusal, never in a
// crash, a read beyond the buffer or a hang.

#include "FuzzOptions.h"

#include "tds/Requests.h"
#include "tds/RpcBatch.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > fuzz::MaxInput)
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    tds::parseHeader(bytes);
    tds::parsePreLogin(bytes);
    tds::parseLogin7(bytes);
    tds::parseSqlBatch(bytes);
    tds::parseTransactionRequest(bytes);
    if (const auto calls = tds::parseRpc(bytes)) {
        for (const tds::RpcCall& call : *calls) {
            tds::procedureOf(call);
            QString error;
            const QString declarations =
                call.parameters.isEmpty() ? QString() : call.parameters.first().text.value_or(QString());
            tds::bindParameters(declarations, QStringLiteral("SELECT 1"), call.parameters, 1, error);
        }
    }
    return 0;
}
