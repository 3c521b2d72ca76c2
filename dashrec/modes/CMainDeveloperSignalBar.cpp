// One satellite's signal bar on the developer screen: the bar grows upwards
// from the bottom of its background with the signal strength and takes the
// colour of its strength band; the satellite number is yellow while the
// satellite is used in the fix.

#include "dashrec/core/SDDebug.h"
#include "dashrec/modes/CMainDeveloper.h"
#include "dashrec/ui/Resource.h"

#include <algorithm>
#include <cstdio>

namespace vk {

namespace {

const int MAX_STRENGTH = 99;

// Strength bands from the weakest up: a strength below `below` takes `colour`.
struct StrengthBand {
    int below;
    unsigned colour;
};
const StrengthBand STRENGTH_BANDS[] = {
    { 10, CMainDeveloper::SignalBar::RED },
    { 20, CMainDeveloper::SignalBar::ORANGE },
    { 30, CMainDeveloper::SignalBar::YELLOW },
    { 50, CMainDeveloper::SignalBar::LIME },
};

template <typename T>
T* Kind(obj_common* obj, char type)
{
    return obj != nullptr && obj->obj_type == type ? static_cast<T*>(obj) : nullptr;
}

} // namespace

CMainDeveloper::SignalBar::SignalBar(int id)
    : _id(id)
{
    obj_text* sig = Kind<obj_text>(GetComponent(_id + OFFSET_TXT_SIGNAL), obj_common::TEXT);
    VK_ASSERT(sig != nullptr);
    std::snprintf(_strStrength, sizeof(_strStrength), "%02d", 0);
    sig->text_ptr = _strStrength;
    obj_text* sat = Kind<obj_text>(GetComponent(_id + OFFSET_TXT_ID), obj_common::TEXT);
    VK_ASSERT(sat != nullptr);
    std::snprintf(_strSatellite, sizeof(_strSatellite), "%02d", 0);
    sat->text_ptr = _strSatellite;
    SetStrength(0);
}

obj_common* CMainDeveloper::SignalBar::GetComponent(int id)
{
    return Singleton<Resource>::Inst()->GetComponent(id);
}

void CMainDeveloper::SignalBar::Show()
{
    for (int offset : { OFFSET_IMG_BG, OFFSET_TXT_SIGNAL }) {
        obj_common* common = GetComponent(_id + offset);
        VK_ASSERT(common != nullptr);
        common->SetShow();
    }
    obj_text* sat = Kind<obj_text>(GetComponent(_id + OFFSET_TXT_ID), obj_common::TEXT);
    VK_ASSERT(sat != nullptr);
    sat->SetShow();
    ColourSatellite();
    obj_rect* bar = Kind<obj_rect>(GetComponent(_id + OFFSET_REC_BAR), obj_common::RECT);
    VK_ASSERT(bar != nullptr);
    bar->color = StrengthColour();
    bar->SetShow();
}

void CMainDeveloper::SignalBar::Hide()
{
    for (int offset : { OFFSET_IMG_BG, OFFSET_REC_BAR, OFFSET_TXT_SIGNAL, OFFSET_TXT_ID }) {
        obj_common* common = GetComponent(_id + offset);
        VK_ASSERT(common != nullptr);
        common->SetHide();
    }
}

void CMainDeveloper::SignalBar::Reset()
{
    SetDeactive();
    SetStrength(0);
    SetSatellite(0);
}

void CMainDeveloper::SignalBar::SetSatellite(int satellite)
{
    _satellite = satellite;
    std::snprintf(_strSatellite, sizeof(_strSatellite), "%02d", satellite);
}

void CMainDeveloper::SignalBar::SetStrength(int strength)
{
    // A receiver's report is outside input: a negative strength is drawn as none, not fatal.
    int v = std::clamp(strength, 0, MAX_STRENGTH);
    obj_common* common = GetComponent(_id + OFFSET_IMG_BG);
    VK_ASSERT(common != nullptr);
    obj_common* bar = GetComponent(_id + OFFSET_REC_BAR);
    VK_ASSERT(bar != nullptr);
    int height = static_cast<int>(static_cast<float>(v) * common->area.h / 100.0f);
    bar->area.y = static_cast<Sint16>(common->area.y + common->area.h - height);
    bar->area.h = static_cast<Uint16>(height);
    std::snprintf(_strStrength, sizeof(_strStrength), "%d", v);
    _strength = v;
}

void CMainDeveloper::SignalBar::SetActive()
{
    _active = true;
    ColourSatellite();
}

void CMainDeveloper::SignalBar::SetDeactive()
{
    _active = false;
    ColourSatellite();
}

void CMainDeveloper::SignalBar::ColourSatellite()
{
    obj_text* sat = Kind<obj_text>(GetComponent(_id + OFFSET_TXT_ID), obj_common::TEXT);
    VK_ASSERT(sat != nullptr);
    sat->color = _active ? YELLOW : LIGTH_GREY;
}

unsigned CMainDeveloper::SignalBar::StrengthColour() const
{
    for (const StrengthBand& band : STRENGTH_BANDS) {
        if (_strength < band.below)
            return band.colour;
    }
    return GREEN;
}

} // namespace vk
