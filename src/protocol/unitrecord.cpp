#include "protocol/unitrecord.h"

#include "protocol/settingcodes.h"

#include <cmath>
#include <cstring>

namespace dxu {
namespace {

// The fields of the image that no setting code fills, with their byte
// offsets: I for 32-bit integers, F for single-precision floats. portName
// (0..7) is handled apart; the settings' fields and changed flags come from
// the setting-code table.
#define DXU_RECORD_FIELDS(I, F)                                                                    \
    I(port232, 8) I(port232RateIndex, 16) I(port485, 20) I(port485RateIndex, 28) I(portInUse, 32) \
    I(networkMode, 72) I(settingsRead, 76) I(status, 88)                                          \
    I(laserOn, 532) I(measurementSeen, 536) F(lastDistance, 540) F(lastIntensity, 548)

void putU32(UnitRecord::Image& img, std::size_t off, uint32_t v)
{
    img[off] = static_cast<uint8_t>(v);
    img[off + 1] = static_cast<uint8_t>(v >> 8);
    img[off + 2] = static_cast<uint8_t>(v >> 16);
    img[off + 3] = static_cast<uint8_t>(v >> 24);
}

uint32_t getU32(const UnitRecord::Image& img, std::size_t off)
{
    return static_cast<uint32_t>(img[off]) | (static_cast<uint32_t>(img[off + 1]) << 8)
           | (static_cast<uint32_t>(img[off + 2]) << 16) | (static_cast<uint32_t>(img[off + 3]) << 24);
}

uint32_t floatBits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

float bitsFloat(uint32_t u)
{
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

} // namespace

UnitRecord::Image UnitRecord::toBytes() const
{
    Image img{};
    for (std::size_t i = 0; i < sizeof portName; ++i)
        img[i] = static_cast<uint8_t>(portName[i]);
#define DXU_PUT_I(name, off) putU32(img, off, static_cast<uint32_t>(name));
#define DXU_PUT_F(name, off) putU32(img, off, floatBits(name));
    DXU_RECORD_FIELDS(DXU_PUT_I, DXU_PUT_F)
#undef DXU_PUT_I
#undef DXU_PUT_F
    for (const SettingCode& code : settingCodes()) {
        for (const SettingField& f : code.fields) {
            if (f.intField)
                putU32(img, f.offset, static_cast<uint32_t>(this->*f.intField));
            else if (f.floatField)
                putU32(img, f.offset, floatBits(this->*f.floatField));
            if (f.changed)
                putU32(img, f.changedOffset, static_cast<uint32_t>(this->*f.changed));
        }
    }
    return img;
}

UnitRecord UnitRecord::fromBytes(const Image& img)
{
    UnitRecord r;
    for (std::size_t i = 0; i < sizeof r.portName; ++i)
        r.portName[i] = static_cast<char>(img[i]);
    r.portName[sizeof r.portName - 1] = '\0'; // always a terminated text
#define DXU_GET_I(name, off) r.name = static_cast<int32_t>(getU32(img, off));
#define DXU_GET_F(name, off) r.name = bitsFloat(getU32(img, off));
    DXU_RECORD_FIELDS(DXU_GET_I, DXU_GET_F)
#undef DXU_GET_I
#undef DXU_GET_F
    for (const SettingCode& code : settingCodes()) {
        for (const SettingField& f : code.fields) {
            if (f.intField)
                r.*f.intField = static_cast<int32_t>(getU32(img, f.offset));
            else if (f.floatField)
                r.*f.floatField = bitsFloat(getU32(img, f.offset));
            if (f.changed)
                r.*f.changed = static_cast<int32_t>(getU32(img, f.changedOffset));
        }
    }
    return r;
}

bool UnitRecord::fromBytes(const uint8_t* data, std::size_t size, UnitRecord& out)
{
    if (!data || size != ImageSize)
        return false;
    Image img;
    std::memcpy(img.data(), data, ImageSize);
    out = fromBytes(img);
    return true;
}

bool floatDiffers(float a, float b) { return std::fabs(a - b) > 0.0001f; }

} // namespace dxu
