// Feeds arbitrary bytes to the parser that judges what a browser sends to the sign-in receiver,
// and checks that the answer for it is always a complete response, and that a request judged
// before all of it has arrived is judged as the whole would be.
#include "Services/LoopbackReceiver.h"

#include <algorithm>
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
    // Enough stays enough as more arrives, so the first cut that is enough is found by halving.
    const auto whole = request.substr(0, std::min(request.size(), ostrel::LoopbackReceiver::maxRequestBytes));
    std::size_t low = 0, high = whole.size();
    while (low < high) {
        const auto middle = low + (high - low) / 2;
        if (ostrel::LoopbackReceiver::canJudge(whole.substr(0, middle)))
            high = middle;
        else
            low = middle + 1;
    }
    if (low < whole.size() &&
        ostrel::LoopbackReceiver::parse(whole.substr(0, low), state) != ostrel::LoopbackReceiver::parse(whole, state))
        std::abort();
    return 0;
}
