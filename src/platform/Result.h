#pragma once

#include "platform/Dialogs.h"

#include <QString>

#include <concepts>
#include <optional>
#include <utility>

namespace tolvan {

// Why an operation failed: the text for the operator (naming the file, field
// or folder and the reason) and, when the failure has a box of its own (its
// title, icon or buttons), that box. Without one the caller shows the text in
// the box it uses for its own failures.
struct Failure {
    QString error;
    std::optional<MessageBoxRequest> box;
};

inline Failure Fail(QString error)
{
    return {std::move(error), std::nullopt};
}

inline Failure Fail(MessageBoxRequest box)
{
    QString text = box.text;
    return {std::move(text), std::move(box)};
}

namespace detail {
// What a success answers when asked for its error text or box.
inline const QString kNoError;
inline const std::optional<MessageBoxRequest> kNoBox;
} // namespace detail

// What an operation came to: a success, carrying its value when it has one,
// or a Failure. The one default is success; a failure is made only from a
// Failure (`return Fail(...)`). Widget-free code returns these and never shows
// anything; the screen shows the failure (see ShowFailure).
//
// A result carrying a value keeps that value on failure too, for the few
// callers that show what could be read before the fault.
template <typename T = void> class [[nodiscard]] Result {
public:
    Result() requires std::default_initializable<T>
    = default;
    Result(T value)
        : m_value(std::move(value))
    {
    }
    Result(Failure failure)
        : m_failure(std::move(failure))
    {
    }
    // A failure that still hands over what was made before it.
    Result(Failure failure, T partial)
        : m_value(std::move(partial))
        , m_failure(std::move(failure))
    {
    }

    bool ok() const { return !m_failure.has_value(); }
    // Empty on success.
    const QString& error() const { return m_failure ? m_failure->error : detail::kNoError; }
    // The failure's own box, when it has one.
    const std::optional<MessageBoxRequest>& box() const { return m_failure ? m_failure->box : detail::kNoBox; }
    // The failure, to pass on as another result's (`return inner.failure();`).
    Failure failure() const { return m_failure.value_or(Failure{}); }

    T& value() { return m_value; }
    const T& value() const { return m_value; }
    T* operator->() { return &m_value; }
    const T* operator->() const { return &m_value; }

private:
    T m_value{};
    std::optional<Failure> m_failure;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure)
        : m_failure(std::move(failure))
    {
    }

    bool ok() const { return !m_failure.has_value(); }
    const QString& error() const { return m_failure ? m_failure->error : detail::kNoError; }
    const std::optional<MessageBoxRequest>& box() const { return m_failure ? m_failure->box : detail::kNoBox; }
    Failure failure() const { return m_failure.value_or(Failure{}); }

private:
    std::optional<Failure> m_failure;
};

// The box a failure is shown in: its own, or its text under title with icon.
inline MessageBoxRequest FailureBox(const Failure& failure, const QString& title, MsgIcon icon = MsgIcon::Critical)
{
    if (failure.box) {
        return *failure.box;
    }
    return {failure.error, title, icon};
}

// Shows a failed result's box (its own, or its text under title with icon)
// and tells whether the result was a success.
template <typename T>
bool ShowFailure(Dialogs& dialogs, const Result<T>& result, const QString& title = {}, MsgIcon icon = MsgIcon::Critical)
{
    if (result.ok()) {
        return true;
    }
    dialogs.messageBox(FailureBox(result.failure(), title, icon));
    return false;
}

} // namespace tolvan
