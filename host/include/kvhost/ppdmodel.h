// The host driver's view of a PPD file and of a document's option state:
// what its IPrintCoreUI2 and IPrintCorePS2 answer GetOptions, EnumFeatures
// and EnumOptions from.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "kvp/base.h"

namespace kvhost {

struct PpdOption {
    std::string keyword;
    std::string text;
};

struct PpdFeature {
    std::string keyword;   // without the '*'
    std::string text;
    std::string uiType;    // PickOne, PickMany, Boolean; "Host" for the host's own options
    std::string defaultOption;
    std::vector<PpdOption> options;
    bool HasOption(const std::string &keyword) const;
};

class PpdModel {
public:
    // Reads the OpenUI/CloseUI blocks and the main keywords of a PPD.
    bool Load(const std::string &path, std::string *error);
    bool LoadText(const std::string &text, std::string *error);

    const std::vector<PpdFeature> &Features() const { return features_; }
    const PpdFeature *Find(const std::string &keyword) const;
    // Value of a main keyword without option ("Product" → "(Vastrelo 1180 PS)").
    std::string Value(const std::string &keyword) const;
    const std::string &Path() const { return path_; }
    bool HasCustomPageSize() const { return customPageSize_; }

    // The host's own synthesized features, added after the PPD's.
    void AddHostFeatures();

private:
    std::string path_;
    std::vector<PpdFeature> features_;
    std::map<std::string, std::string> values_;
    bool customPageSize_ = false;
};

// The option state of one document: one option per feature, starting from
// the defaults.
class OptionState {
public:
    explicit OptionState(const PpdModel &model);

    // False when the feature or the option is unknown.
    bool Set(const std::string &feature, const std::string &option);
    std::string Get(const std::string &feature) const;
    const PpdModel &Model() const { return *model_; }

    // The host helper protocols (multi-strings: strings each ended by NUL,
    // the list ended by one more NUL).
    //  GetOptions: request null or empty = every feature; reply is
    //  feature NUL option NUL ... NUL. Unknown features are skipped; none
    //  known → E_INVALIDARG. A reply that does not fit → E_OUTOFMEMORY with
    //  *needed set.
    HRESULT GetOptions(const char *request, DWORD requestSize, char *reply, DWORD replySize, DWORD *needed) const;
    // SetOptions: feature NUL option NUL ... NUL. E_INVALIDARG for an
    // unknown pair (the known ones before it stay set).
    HRESULT SetOptions(const char *pairs, DWORD size);
    HRESULT EnumFeatures(char *list, DWORD size, DWORD *needed) const;
    HRESULT EnumOptions(const char *feature, char *list, DWORD size, DWORD *needed) const;

private:
    const PpdModel *model_;
    std::map<std::string, std::string> current_;
};

// Reads a multi-string within size bytes; stops at the empty string or the
// end of the bytes.
std::vector<std::string> SplitMultiString(const char *data, size_t size);
// Writes strings as a multi-string; returns the bytes needed (with the
// final NUL). Writes only when it all fits.
size_t JoinMultiString(const std::vector<std::string> &strings, char *out, size_t size);

}  // namespace kvhost
