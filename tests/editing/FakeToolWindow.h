#pragma once
// The tool window's controls as the editing tools read and write them by name, without windows:
// texts, checks and item indexes the test sets, and the pages the tools show.
#include "QVServices.h"

#include <map>
#include <string>
#include <vector>

class TFakeToolWindow : public TToolWindowServices {
public:
    TFakeToolWindow() { SetToolWindowServices(this); }
    ~TFakeToolWindow() override { SetToolWindowServices(nullptr); }
    TFakeToolWindow(const TFakeToolWindow&) = delete;
    TFakeToolWindow& operator=(const TFakeToolWindow&) = delete;

    std::map<std::string, std::string> Texts;
    std::map<std::string, int32_t> Indexes;
    std::vector<std::string> Shown;

    void ShowPages(const std::vector<std::string>& Tabs, const std::string&, int32_t, int32_t) override
    {
        Shown.push_back(Tabs.empty() ? "" : Tabs.front());
    }
    void Hide() override {}
    bool IsShowing() const override { return !Shown.empty(); }
    std::string ControlText(const std::string& Name) const override
    {
        const auto it = Texts.find(Name);
        return it == Texts.end() ? "" : it->second;
    }
    void SetControlText(const std::string& Name, const std::string& Text) override { Texts[Name] = Text; }
    bool ControlChecked(const std::string& Name) const override { return ControlText(Name) == "checked"; }
    int32_t ControlItemIndex(const std::string& Name) const override
    {
        const auto it = Indexes.find(Name);
        return it == Indexes.end() ? -1 : it->second;
    }
    std::vector<std::string> ControlItems(const std::string&) const override { return {}; }
    void SetControlVisible(const std::string&, bool) override {}
    void FocusControl(const std::string&) override {}
};
