#include "kvhost/ppdmodel.h"

#include <fstream>
#include <sstream>

namespace kvhost {
namespace {

std::string Trim(const std::string &s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

std::string Unquote(const std::string &s)
{
    std::string t = Trim(s);
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"') return t.substr(1, t.size() - 2);
    return t;
}

// "*Key Option/Text: Value" → key, option, text, value.
struct PpdLine {
    std::string key, option, text, value;
};

bool ParseLine(const std::string &line, PpdLine *out)
{
    if (line.size() < 2 || line[0] != '*' || line[1] == '%' || line[1] == '?') return false;
    size_t colon = line.find(':');
    std::string head = colon == std::string::npos ? line.substr(1) : line.substr(1, colon - 1);
    out->value = colon == std::string::npos ? std::string() : Trim(line.substr(colon + 1));
    size_t sp = head.find_first_of(" \t");
    out->key = Trim(head.substr(0, sp));
    out->option.clear();
    out->text.clear();
    if (sp != std::string::npos) {
        std::string opt = Trim(head.substr(sp));
        size_t slash = opt.find('/');
        out->option = Trim(opt.substr(0, slash));
        if (slash != std::string::npos) out->text = Trim(opt.substr(slash + 1));
    }
    return !out->key.empty();
}

}  // namespace

bool PpdFeature::HasOption(const std::string &kw) const
{
    for (const auto &o : options)
        if (o.keyword == kw) return true;
    return false;
}

bool PpdModel::Load(const std::string &path, std::string *error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot open " + path;
        return false;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    path_ = path;
    return LoadText(ss.str(), error);
}

bool PpdModel::LoadText(const std::string &text, std::string *error)
{
    features_.clear();
    values_.clear();
    customPageSize_ = false;
    std::istringstream in(text);
    std::string line;
    PpdFeature *open = nullptr;
    std::map<std::string, std::string> defaults;
    bool sawHeader = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        PpdLine l;
        if (!ParseLine(line, &l)) continue;
        if (l.key == "PPD-Adobe") sawHeader = true;
        // A quoted value may run over several lines; the model keeps only
        // keywords, so the rest of such a value is skipped.
        if (!l.value.empty() && l.value[0] == '"' &&
            (l.value.size() == 1 || l.value.find('"', 1) == std::string::npos)) {
            std::string more;
            while (std::getline(in, more))
                if (more.find('"') != std::string::npos) break;
        }
        if (l.key == "OpenUI" || l.key == "JCLOpenUI") {
            std::string name = l.option;
            if (!name.empty() && name[0] == '*') name.erase(0, 1);
            features_.push_back(PpdFeature{name, l.text, Trim(l.value), std::string(), {}});
            open = &features_.back();
            continue;
        }
        if (l.key == "CloseUI" || l.key == "JCLCloseUI") {
            open = nullptr;
            continue;
        }
        if (l.key.compare(0, 7, "Default") == 0 && l.key.size() > 7 && l.option.empty()) {
            defaults[l.key.substr(7)] = Trim(l.value);
            continue;
        }
        if (open && l.key == open->keyword && !l.option.empty()) {
            open->options.push_back(PpdOption{l.option, l.text});
            continue;
        }
        if (l.key == "CustomPageSize" && l.option == "True") customPageSize_ = true;
        if (l.option.empty() && values_.find(l.key) == values_.end()) values_[l.key] = Unquote(l.value);
    }
    if (!sawHeader) {
        if (error) *error = "not a PPD file (no *PPD-Adobe line)";
        return false;
    }
    for (auto &f : features_) {
        auto d = defaults.find(f.keyword);
        if (d != defaults.end()) f.defaultOption = d->second;
        if (f.defaultOption.empty() && !f.options.empty()) f.defaultOption = f.options.front().keyword;
    }
    return true;
}

const PpdFeature *PpdModel::Find(const std::string &keyword) const
{
    for (const auto &f : features_)
        if (f.keyword == keyword) return &f;
    return nullptr;
}

std::string PpdModel::Value(const std::string &keyword) const
{
    auto it = values_.find(keyword);
    return it == values_.end() ? std::string() : it->second;
}

void PpdModel::AddHostFeatures()
{
    if (Find("%PagePerSheet")) return;
    features_.push_back(PpdFeature{"%PagePerSheet", "Pages per Sheet", "Host", "1",
                                   {{"1", ""}, {"2", ""}, {"4", ""}, {"6", ""}, {"9", ""}, {"16", ""}, {"Booklet", ""}}});
    features_.push_back(PpdFeature{"%OutputFormat", "PostScript Output Option", "Host", "Speed",
                                   {{"Speed", ""}, {"Portability", ""}, {"EPS", ""}, {"Archive", ""}}});
    features_.push_back(PpdFeature{"%CtrlDAfter", "Send Ctrl-D After Each Job", "Host", "False",
                                   {{"False", ""}, {"True", ""}}});
    features_.push_back(PpdFeature{"%CtrlDBefore", "Send Ctrl-D Before Each Job", "Host", "False",
                                   {{"False", ""}, {"True", ""}}});
    features_.push_back(PpdFeature{"%Orientation", "Orientation", "Host", "PORTRAIT",
                                   {{"PORTRAIT", ""}, {"LANDSCAPE_CW90", ""}, {"LANDSCAPE_CCW90", ""}}});
    features_.push_back(PpdFeature{"%PageOrder", "Page Order", "Host", "FrontToBack",
                                   {{"FrontToBack", ""}, {"BackToFront", ""}}});
}

OptionState::OptionState(const PpdModel &model) : model_(&model)
{
    for (const auto &f : model.Features()) current_[f.keyword] = f.defaultOption;
}

bool OptionState::Set(const std::string &feature, const std::string &option)
{
    const PpdFeature *f = model_->Find(feature);
    if (!f) return false;
    // The host offers a custom size as a PageSize option when the PPD allows one.
    bool custom = feature == "PageSize" && option == "CustomPageSize" && model_->HasCustomPageSize();
    if (!f->HasOption(option) && !custom) return false;
    current_[feature] = option;
    return true;
}

std::string OptionState::Get(const std::string &feature) const
{
    auto it = current_.find(feature);
    return it == current_.end() ? std::string() : it->second;
}

std::vector<std::string> SplitMultiString(const char *data, size_t size)
{
    std::vector<std::string> out;
    if (!data) return out;
    size_t i = 0;
    while (i < size && data[i]) {
        size_t j = i;
        while (j < size && data[j]) ++j;
        out.emplace_back(data + i, j - i);
        i = j + 1;
    }
    return out;
}

size_t JoinMultiString(const std::vector<std::string> &strings, char *out, size_t size)
{
    size_t need = 1;
    for (const auto &s : strings) need += s.size() + 1;
    if (out && size >= need) {
        size_t p = 0;
        for (const auto &s : strings) {
            for (char c : s) out[p++] = c;
            out[p++] = 0;
        }
        out[p] = 0;
    }
    return need;
}

HRESULT OptionState::GetOptions(const char *request, DWORD requestSize, char *reply, DWORD replySize,
                                DWORD *needed) const
{
    std::vector<std::string> wanted = SplitMultiString(request, request ? requestSize : 0);
    std::vector<std::string> pairs;
    if (wanted.empty()) {
        for (const auto &f : model_->Features()) {
            pairs.push_back(f.keyword);
            pairs.push_back(Get(f.keyword));
        }
    } else {
        for (const auto &w : wanted) {
            if (!model_->Find(w)) continue;
            pairs.push_back(w);
            pairs.push_back(Get(w));
        }
        if (pairs.empty()) {
            if (needed) *needed = 0;
            return E_INVALIDARG;
        }
    }
    size_t need = JoinMultiString(pairs, nullptr, 0);
    if (needed) *needed = static_cast<DWORD>(need);
    if (!reply || replySize < need) return E_OUTOFMEMORY;
    JoinMultiString(pairs, reply, replySize);
    return S_OK;
}

HRESULT OptionState::SetOptions(const char *pairs, DWORD size)
{
    std::vector<std::string> items = SplitMultiString(pairs, pairs ? size : 0);
    if (items.empty() || items.size() % 2) return E_INVALIDARG;
    for (size_t i = 0; i < items.size(); i += 2)
        if (!Set(items[i], items[i + 1])) return E_INVALIDARG;
    return S_OK;
}

HRESULT OptionState::EnumFeatures(char *list, DWORD size, DWORD *needed) const
{
    std::vector<std::string> names;
    for (const auto &f : model_->Features()) names.push_back(f.keyword);
    size_t need = JoinMultiString(names, nullptr, 0);
    if (needed) *needed = static_cast<DWORD>(need);
    if (!list || size < need) return E_OUTOFMEMORY;
    JoinMultiString(names, list, size);
    return S_OK;
}

HRESULT OptionState::EnumOptions(const char *feature, char *list, DWORD size, DWORD *needed) const
{
    const PpdFeature *f = feature ? model_->Find(feature) : nullptr;
    if (!f) {
        if (needed) *needed = 0;
        return E_INVALIDARG;
    }
    std::vector<std::string> names;
    for (const auto &o : f->options) names.push_back(o.keyword);
    size_t need = JoinMultiString(names, nullptr, 0);
    if (needed) *needed = static_cast<DWORD>(need);
    if (!list || size < need) return E_OUTOFMEMORY;
    JoinMultiString(names, list, size);
    return S_OK;
}

}  // namespace kvhost
