// Feeds arbitrary bytes to the client as the replies of one connection. Byte 0 picks the client
// settings; 0xFF bytes cut the rest into the pieces that single receives return.
#include "net/TNxHTTP.h"
#include "tests/net/MemoryIOHandler.h"

#include <cstddef>
#include <cstdint>

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    auto net = std::make_shared<test::MemoryNet>();
    test::ScriptedConnection connection;
    std::string piece;
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == 0xFF) {
            connection.Pieces.push_back(std::move(piece));
            piece.clear();
        } else {
            piece += static_cast<char>(data[i]);
        }
    }
    connection.Pieces.push_back(std::move(piece));
    net->Pending.push_back(std::move(connection));

    TNxHTTP http;
    http.CreateIOHandler = [net] { return std::make_unique<test::MemoryIOHandler>(net); };
    http.ProtocolVersion = data[0] & 1 ? "1.0" : "1.1";
    if (data[0] & 2) http.MaxLineAction = TNxMaxLineAction::maSplit;
    if (data[0] & 4) http.MaxLineLength = 64;
    // Two requests: the second reads whatever the first left on a kept connection.
    for (int request = 0; request < 2; ++request) {
        try {
            const std::string body = http.FetchUrl(request == 0 ? "http://h/a/b?x=1" : "c/d");
            if (http.Response.ContentLength > 0 &&
                body.size() > static_cast<std::size_t>(http.Response.ContentLength))
                __builtin_trap(); // a counted body never takes more than its count
        } catch (const orvex::Exception&) {
        }
    }
    return 0;
}
