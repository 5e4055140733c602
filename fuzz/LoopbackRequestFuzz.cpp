// Feeds arbitrary bytes to the parser that judges what a browser sends to the sign-in receiver,
// and checks that the answer for it is always a complete response.
#include "Services/LoopbackReceiver.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view request(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view state = "8Jq2mYvV7pLr0sXcT1wKzE4nHbF6uGdA";
    auto outcome = ostrel::LoopbackReceiver::parse(request, state);
    // Only a request that carries our own state may succeed.
    if (std::holds_alternative<ostrel::LoopbackReceiver::Callback>(outcome) &&
        request.find(state) == std::string_view::npos && request.find('%') == std::string_view::npos)
        std::abort();
    if (ostrel::LoopbackReceiver::response(outcome).find("\r\n\r\n") == std::string::npos)
        std::abort();
    return 0;
}
