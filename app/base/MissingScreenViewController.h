#pragma once

#include "app/base/BaseViewController.h"

#include <string>
#include <utility>
#include <vector>

// Stands for a screen whose class another part of the program has not
// delivered yet: it answers to that class's name, so tabs, grid entries and
// counts stay right, and shows the name with the screen's title. A library
// that brings the real class registers it and replaces this one.
class MissingScreenViewController final : public BaseViewController {
public:
    explicit MissingScreenViewController(std::string missingClassName);

    // The name it stands for.
    std::string className() const override { return missingClassName_; }
    const std::string& missingClassName() const { return missingClassName_; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // Registers a stand-in under each name not registered yet; logs each once.
    static void registerMissing(const std::vector<std::pair<std::string, std::string>>& namesAndTitles);

private:
    std::string missingClassName_;
};
