#pragma once

// How deep arrays and objects may nest in any JSON read here. QJsonDocument refuses a deeper text
// (DeepNesting) without going deeper; readers of our own keep the same bound, so they take exactly the
// texts it takes and a deeply nested stored value cannot exhaust the stack.
inline constexpr int kJsonNestingLimit = 1024;

// One array or object a recursive reader is inside, for as long as it is in scope.
class JsonNestingLevel {
public:
    explicit JsonNestingLevel(int& depth)
        : m_depth(depth) {
        ++m_depth;
    }
    ~JsonNestingLevel() { --m_depth; }
    JsonNestingLevel(const JsonNestingLevel&) = delete;
    JsonNestingLevel& operator=(const JsonNestingLevel&) = delete;

    // The text must be refused: going on would nest past the limit.
    bool tooDeep() const { return m_depth > kJsonNestingLimit; }

private:
    int& m_depth;
};
