#include "hmmview/SchemeFile.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/NameCheck.h"
#include "common/NumberText.h"
#include "common/TabulaTextFile.h"

namespace talvor::hmmview {

namespace {

// The colours in file order.
std::array<Colour*, kColourRoleCount> fileColours(DisplaySettings& s)
{
    return {&s.clrState,     &s.clrStateV,   &s.clrStateBorder,      &s.clrStateBPrath, &s.clrStateLMax,
            &s.clrStateMax,  &s.clrStatePath, &s.clrModelSheetBorder, &s.clrModelText,   &s.clrModelTextBorder};
}

std::int32_t clampScale(double v)
{
    if (!(v >= kScaleMin))  // NaN too
        return kScaleMin;
    if (v > kScaleMax)
        return kScaleMax;
    return roundHalfEven(v);
}

std::string schemePath(const std::string& appPath, const std::string& name)
{
    return joinPath(appPath, name + kSchemeExtension);
}

bool nameOk(const std::string& name, std::string* error)
{
    std::string problem;
    if (checkName(name, NameKind::File, &problem))
        return true;
    if (error)
        *error = problem;
    return false;
}

}  // namespace

const std::array<std::string_view, 6>& scaleLabels()
{
    static const std::array<std::string_view, 6> labels = {
        "X - grid step:", "Y - grid step:", "State radius:", "Border of graph:", "Left graph pos.:",
        "Gaps between models:",
    };
    return labels;
}

double scaleField(const DisplaySettings& s, int k)
{
    switch (k) {
    case 0: return s.grStpX;
    case 1: return s.grStpY;
    case 2: return s.grStpR;
    case 3: return s.grpsh;
    case 4: return s.leftGraphPos;
    default: return s.modelGap;
    }
}

void setScaleField(DisplaySettings& s, int k, double value)
{
    if (k == 2) {
        s.grStpR = static_cast<float>(std::clamp(std::isnan(value) ? 1.0 : value, double(kScaleMin), double(kScaleMax)));
        return;
    }
    const std::int32_t v = clampScale(value);
    switch (k) {
    case 0: s.grStpX = v; break;
    case 1: s.grStpY = v; break;
    case 3: s.grpsh = v; break;
    case 4: s.leftGraphPos = v; break;
    default: s.modelGap = v; break;
    }
}

std::optional<std::string> schemeText(const std::string& name, const DisplaySettings& settings)
{
    TabulaTextFile f;
    if (f.PrintFirstString(name, std::string("\r\n")) != 0)
        return std::nullopt;
    for (int k = 0; k < 6; ++k) {
        f.PrintToString(std::string(scaleLabels()[static_cast<std::size_t>(k)]), std::string("\t"));
        if (k == 2)  // every digit the radius needs to read back the same
            f.PrintToString(exactFloatText(settings.grStpR), std::string("\r\n"));
        else
            f.PrintToString(static_cast<std::int32_t>(scaleField(settings, k)), std::string("\r\n"));
    }
    DisplaySettings copy = settings;
    const auto colours = fileColours(copy);
    for (int k = 0; k < kColourRoleCount; ++k) {
        f.PrintToString(std::string(colourRoleNames()[static_cast<std::size_t>(k)]), std::string("\t"));
        f.PrintToString(*colours[static_cast<std::size_t>(k)], std::string("\r\n"));
    }
    // The file's last line is empty.
    return f.MyString() + "\r\n";
}

int parseSchemeText(std::string_view text, DisplaySettings& settings)
{
    TabulaTextFile f;
    f.InputFromString(std::string(text));
    std::string token;
    if (f.ReadNextData(token) < 0)  // the scheme name
        return 0;
    int read = 0;
    auto nextValue = [&](double* value) {
        std::string label, item;
        if (f.ReadNextData(label) < 0 || f.ReadNextData(item) < 0)
            return false;
        std::int32_t whole = 0;
        if (parseInt32(item, &whole)) {
            *value = whole;
            return true;
        }
        const double v = leadingNumber(item);
        if (v == 0.0 && item.find_first_of("0123456789") == std::string::npos)
            return false;
        *value = v;
        return std::isfinite(v);
    };
    for (int k = 0; k < 6; ++k) {
        double v = 0;
        if (!nextValue(&v))
            return read;
        setScaleField(settings, k, v);
        ++read;
    }
    const auto colours = fileColours(settings);
    for (int k = 0; k < kColourRoleCount; ++k) {
        double v = 0;
        if (!nextValue(&v))
            return read;
        // Colours are 32-bit values; a value outside stays out.
        if (v < -2147483648.0 || v > 4294967295.0)
            return read;
        *colours[static_cast<std::size_t>(k)] = static_cast<Colour>(static_cast<std::uint32_t>(static_cast<std::int64_t>(v)));
        ++read;
    }
    return read;
}

void gridFromSlider(DisplaySettings& s, int v, int t)
{
    s.grStpX = roundHalfEven(2.0 * t * (v + 1));
    s.grStpY = roundHalfEven(2.0 * t * (v + 1));
    s.grStpR = static_cast<float>(5 * v);
    s.grpsh = roundHalfEven(4.0 * t * v);
}

std::vector<std::string> listSchemes(const std::string& appPath)
{
    std::vector<std::string> names;
    for (const std::string& file : listFilesWithExtension(appPath, kSchemeExtension))
        names.push_back(file.substr(0, file.size() - 4));
    return names;
}

bool schemeExists(const std::string& appPath, const std::string& name)
{
    std::string resolved;
    return nameOk(name, nullptr) && findFileName(schemePath(appPath, name), &resolved);
}

bool saveScheme(const std::string& appPath, const std::string& name, const DisplaySettings& settings,
                std::string* error)
{
    if (!nameOk(name, error))
        return false;
    const std::optional<std::string> text = schemeText(name, settings);
    if (!text) {
        if (error)
            *error = "The scheme name cannot be written.";
        return false;
    }
    std::string why;
    if (!writeFileWhole(schemePath(appPath, name), *text, &why)) {
        if (error)
            *error = "Cannot save the scheme " + name + ": " + why;
        return false;
    }
    return true;
}

bool loadScheme(const std::string& appPath, const std::string& name, DisplaySettings& settings, std::string* error)
{
    if (!nameOk(name, error))
        return false;
    std::string bytes;
    if (!readFileWhole(resolveFileName(schemePath(appPath, name)), &bytes)) {
        if (error)
            *error = "Cannot read the scheme " + name + ".";
        return false;
    }
    parseSchemeText(bytes, settings);
    return true;
}

bool deleteScheme(const std::string& appPath, const std::string& name, std::string* error)
{
    if (!nameOk(name, error))
        return false;
    std::string resolved;
    std::error_code ec;
    if (!findFileName(schemePath(appPath, name), &resolved) || !std::filesystem::remove(resolved, ec)) {
        if (error)
            *error = "Cannot delete the scheme " + name + (ec ? ": " + ec.message() : std::string(": there is no such file."));
        return false;
    }
    return true;
}

}  // namespace talvor::hmmview
