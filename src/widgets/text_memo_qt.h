// A read-only memo that owns its lines: a LineMemo over a LineStore of its own, for windows
// that add lines as reports come (the engineering windows' logs).
#pragma once

#include "widgets/line_memo_qt.h"
#include "widgets/line_store.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TextMemo : public LineMemo {
    Q_OBJECT
public:
    explicit TextMemo(QWidget* parent = nullptr)
        : TextMemo(std::make_unique<vx::LineStore>(), parent) {}

    const vx::LineStore& store() const { return *store_; }
    bool empty() const { return store_->empty(); }
    void append(std::string_view line) {
        store_->append(line);
        storeChanged();
    }
    void append(const std::vector<std::string>& lines) {
        for (const std::string& l : lines) store_->append(l);
        storeChanged();
    }
    void clear() {
        store_->clear();
        storeChanged();
    }
    // The lines held, oldest first (tests).
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (size_t i = 0; i < store_->size(); ++i) out.emplace_back(store_->line(i));
        return out;
    }

private:
    // The store is made before the memo that shows it, and lives as long as the memo.
    TextMemo(std::unique_ptr<vx::LineStore> store, QWidget* parent)
        : LineMemo(*store, parent), store_(std::move(store)) {}

    std::unique_ptr<vx::LineStore> store_;
};
