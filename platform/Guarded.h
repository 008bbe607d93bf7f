#pragma once
// The program's error boundary. Qt cannot carry an exception through its own frames, so every
// call that Qt makes into the program (a slot, an event handler, a posted call) goes through
// Guarded: what it throws is shown in an error box captioned with the application's name, and
// goes no further. Connect and Post put connections and posted calls behind the boundary.

#include <QMetaObject>
#include <QObject>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

namespace platform {

// Shows the error box for an exception that reached the boundary.
void ReportUnexpectedError(std::exception_ptr error) noexcept;

template <typename F>
void Guarded(F&& call) noexcept {
    try {
        std::forward<F>(call)();
    } catch (...) {
        ReportUnexpectedError(std::current_exception());
    }
}

// The same, for an event handler that answers whether it handled the event; false after a
// failure.
template <typename F>
bool GuardedHandler(F&& call) noexcept {
    bool handled = false;
    Guarded([&] { handled = std::forward<F>(call)(); });
    return handled;
}

// QObject::connect behind the boundary. handler is a member function of receiver or any
// callable; it receives the signal's arguments when it takes them, else none.
template <typename Sender, typename Signal, typename Receiver, typename Handler>
QMetaObject::Connection Connect(const Sender* sender, Signal signal, Receiver* receiver,
                                Handler handler, Qt::ConnectionType type = Qt::AutoConnection) {
    return QObject::connect(
        sender, signal, receiver,
        [receiver, handler](auto&&... args) {
            Guarded([&] {
                if constexpr (std::is_member_function_pointer_v<Handler>) {
                    if constexpr (std::is_invocable_v<Handler, Receiver*, decltype(args)...>)
                        std::invoke(handler, receiver, std::forward<decltype(args)>(args)...);
                    else
                        std::invoke(handler, receiver);
                } else {
                    if constexpr (std::is_invocable_v<Handler, decltype(args)...>)
                        std::invoke(handler, std::forward<decltype(args)>(args)...);
                    else
                        std::invoke(handler);
                }
            });
        },
        type);
}

// Runs call once control is back in the event loop, behind the boundary; nothing when context
// is gone by then.
inline void Post(QObject* context, std::function<void()> call) {
    QMetaObject::invokeMethod(
        context, [call = std::move(call)] { Guarded(call); }, Qt::QueuedConnection);
}

}  // namespace platform
