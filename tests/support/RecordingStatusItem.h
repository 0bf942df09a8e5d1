#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controller/StatusItem.h"

namespace testing_support {

// A status item that keeps what it was last given and counts menu hand-overs.
class RecordingStatusItem : public controller::StatusItem {
public:
    void setTitle(const std::string& title) override { title_ = title; }
    std::string title() const override { return title_; }
    void setImage(const std::optional<std::string>& resourceName) override {
        image_ = resourceName;
    }
    void setHighlightMode(bool on) override { highlight_ = on; }
    void setMenu(std::shared_ptr<const controller::Menu> menu) override {
        menu_ = std::move(menu);
        ++menusGiven_;
    }

    const std::optional<std::string>& image() const { return image_; }
    bool highlight() const { return highlight_; }
    // The menu as last given; an empty one before any.
    const controller::Menu& menu() const {
        static const controller::Menu none;
        return menu_ ? *menu_ : none;
    }
    int menusGiven() const { return menusGiven_; }

private:
    std::string title_;
    std::optional<std::string> image_;
    bool highlight_ = false;
    std::shared_ptr<const controller::Menu> menu_;
    int menusGiven_ = 0;
};

}  // namespace testing_support
