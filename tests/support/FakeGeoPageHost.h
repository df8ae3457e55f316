#pragma once
// The window around the geometry page in the tests: it names a view and records the commands the
// page asks to run again.
#include "QVGeoPage.h"

#include <cstdint>
#include <vector>

class TFakeGeoPageHost : public TGeoPageHost {
public:
    explicit TFakeGeoPageHost(TQVScene* View) : View(View) {}
    TQVScene* GeoView() override { return View; }
    void RerunPanelCommand(TPanelMode Mode) override { Reruns.push_back(Mode); }

    TQVScene* View;
    std::vector<TPanelMode> Reruns;
};
