// Loading and checking the catalog directory, the category list and the ISO 4217 list; every product
// is turned into its feed line here, once, so that serving a feed is a plain copy.
#include "feed_catalog.h"

#include <stdio.h>
#include <string.h>

#include <functional>

#include "catalog_file.h"
#include "feed_names.h"
#include "feed_text.h"

namespace {

// Compares every byte whatever the first difference, so that timing tells nothing about the key.
bool KeysEqual(const std::string& given, const std::string& expected)
{
    unsigned char difference = given.size() == expected.size() ? 0 : 1;
    for (size_t i = 0; i < expected.size(); ++i)
        difference |= (unsigned char)((i < given.size() ? given[i] : 0) ^ expected[i]);
    return difference == 0;
}

struct LoadState {
    std::vector<CatalogError>* errors;
    bool failed;
};

void AddError(LoadState* state, const std::string& file, int line, const std::string& reason)
{
    state->failed = true;
    if (state->errors->size() >= kCatalogErrorsMax)
        return;
    CatalogError error;
    error.file = file;
    error.line = line;
    error.reason = reason;
    state->errors->push_back(error);
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool IsSkipped(const std::string& line)
{
    const std::string trimmed = Trim(line);
    return trimmed.empty() || trimmed[0] == '#';
}

std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t bar = line.find('|', start);
        if (bar == std::string::npos) {
            fields.push_back(Trim(line.substr(start)));
            return fields;
        }
        fields.push_back(Trim(line.substr(start, bar - start)));
        start = bar + 1;
    }
}

// One line of a catalog file that is neither blank nor a comment.
struct CatalogLine {
    int number = 0;                       // 1-based, in its file
    std::vector<std::string> fields;      // UTF-8, as written
    std::vector<std::string> fields1252;  // the same fields in code page 1252, the feed's text
};

// Reads a catalog file and hands take each line that is neither blank nor a comment, in file order,
// split into its fields both ways; a line that is not UTF-8 or holds a character code page 1252 lacks
// is reported here and not handed on. False when the file cannot be read at all; *why then says why.
bool ForEachCatalogLine(const std::string& file, LoadState* state, std::string* why,
                        const std::function<void(const CatalogLine&)>& take)
{
    std::vector<std::string> lines;
    if (!ReadTextLines(file, &lines, why))
        return false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (IsSkipped(lines[i]))
            continue;
        CatalogLine line;
        line.number = (int)i + 1;
        std::string cp1252;
        std::string wrong;
        if (!Utf8ToCp1252(lines[i], &cp1252, &wrong)) {
            AddError(state, file, line.number, wrong);
            continue;
        }
        // "|" and the blanks are ASCII, so both spellings split into the same fields, each the other's
        // conversion.
        line.fields = SplitFields(lines[i]);
        line.fields1252 = SplitFields(cp1252);
        take(line);
    }
    return true;
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string TooLong(const char* field, size_t length, size_t max)
{
    return std::string(field) + " is " + std::to_string(length) + " characters, more than " +
           std::to_string(max);
}

// The rules every text of a feed obeys; the text is already in code page 1252. Empty when it passes.
std::string CheckFeedText(const char* field, const std::string& text, size_t max, bool allowCaret)
{
    for (unsigned char c : text) {
        if (IsControlByte(c)) {
            char reason[96];
            snprintf(reason, sizeof reason, "%s holds the control character 0x%02X", field, c);
            return reason;
        }
        if (c == '^' && !allowCaret)
            return std::string(field) + " holds \"^\", which the feed uses between fields";
    }
    if (text.size() > max)
        return TooLong(field, text.size(), max);
    return "";
}

bool AllOf(const std::string& text, const char* allowedPunctuation)
{
    for (char c : text) {
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && strchr(allowedPunctuation, c) == nullptr)
            return false;
    }
    return true;
}

std::string Lower(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return out;
}

// Plain decimal digits without sign or leading zero, within int; false otherwise.
bool ParseId(const std::string& text, size_t maxDigits, bool allowLeadingZeros, int* value)
{
    if (text.empty() || text.size() > maxDigits)
        return false;
    if (!allowLeadingZeros && text.size() > 1 && text[0] == '0')
        return false;
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
        if (v > 2147483647LL)
            return false;
    }
    *value = (int)v;
    return true;
}

bool ParseStatus(const std::string& text, int* code)
{
    if (text == "listed") { *code = kStatusListed; return true; }
    if (text == "new") { *code = kStatusNew; return true; }
    if (text == "sale") { *code = kStatusSale; return true; }
    if (text == "sold-out") { *code = kStatusSoldOut; return true; }
    // A raw code goes into field 1, which the viewer copies into 4 bytes: at most 3 characters.
    if (text.empty() || text.size() > 3)
        return false;
    size_t i = 0;
    bool negative = false;
    if (text[0] == '-') {
        negative = true;
        i = 1;
    }
    if (i == text.size())
        return false;
    int v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    *code = negative ? -v : v;
    return true;
}

// A server path is typed into a browser's address bar and comes back in a request line, so it keeps
// to characters no browser rewrites; "." and ".." segments would be folded away before sending.
std::string CheckServerPath(const std::string& path)
{
    if (!AllOf(path, "-._~/"))
        return "server path " + Quoted(path) + " may hold only letters, digits and - . _ ~ /";
    if (path[0] == '/')
        return "server path " + Quoted(path) + " must not start with \"/\": the viewer puts one before it";
    size_t start = 0;
    for (;;) {
        size_t slash = path.find('/', start);
        const std::string segment = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (segment == "." || segment == "..")
            return "server path " + Quoted(path) + " holds a \".\" or \"..\" segment, which browsers fold away";
        if (slash == std::string::npos)
            return "";
        start = slash + 1;
    }
}

std::string CheckWebAddress(const std::string& address)
{
    for (unsigned char c : address)
        if (c <= 0x20 || c >= 0x7F)
            return "web address may hold only printable ASCII characters without blanks";
    if (address.find("://") != std::string::npos)
        return "web address " + Quoted(address) + " must not have a scheme: the viewer puts http:// before it";
    return "";
}

// Takes the key field as a verifier or a plain key into the account; the reason it is refused, or "".
// Nothing here quotes the field: it may be a key.
std::string TakeKeyField(const std::string& field, const CatalogRules& rules, bool* secretMissing,
                         CatalogAccount* account)
{
    if (LooksLikeVerifier(field)) {
        if (!ParseVerifier(field, &account->verifier))
            return "key verifier must be \"" + std::string(kVerifierPrefix) + "\" and " +
                   std::to_string(2 * kVerifierDigestBytes) + " lower-case hex digits";
        if (rules.keySecret == nullptr && !*secretMissing) {
            *secretMissing = true;
            return "key verifiers need the secret they were made with: --key-secret FILE";
        }
        return "";
    }
    if (rules.requireHashedKeys)
        return "key is held plain, and --require-hashed-keys wants a verifier (feed-server --hash-key)";
    account->key = field;
    return CheckKeyText(field, rules.allowShortKeys);
}

bool LoadAccounts(const std::string& dir, const CatalogRules& rules, LoadState* state,
                  std::vector<CatalogAccount>* accounts, std::vector<CatalogError>* warnings)
{
    const std::string file = dir + "/accounts.txt";
    std::map<std::string, int> seen;  // lower-case id -> line
    bool secretMissing = false;  // said once: the one fix is the same for every line
    std::string why;
    const bool read = ForEachCatalogLine(file, state, &why, [&](const CatalogLine& line) {
        const std::vector<std::string>& fields = line.fields;
        if (fields.size() != 3) {
            AddError(state, file, line.number,
                     "expected 3 fields \"id | key | caption\", found " + std::to_string(fields.size()));
            return;
        }
        CatalogAccount account;
        account.id = fields[0];
        account.caption = fields[2];
        std::string reason;
        if (account.id.empty() || !AllOf(account.id, "-._"))
            reason = "id " + Quoted(account.id) + " must be letters, digits and - . _ only";
        else if (account.id.size() > kAccountIdMax)
            reason = TooLong("id", account.id.size(), kAccountIdMax);
        else if (NamesWindowsDevice(account.id))
            reason = "id " + Quoted(account.id) + " names a Windows device (CON, PRN, AUX, NUL, COM1, LPT1, ...): "
                     "its products file could not be opened on Windows";
        else if (!(reason = TakeKeyField(fields[1], rules, &secretMissing, &account)).empty())
            ;
        else if (account.caption.empty())
            reason = "caption is empty";
        if (reason.empty()) {
            const std::string& caption1252 = line.fields1252[2];
            reason = CheckFeedText("caption", caption1252, kCaptionMax, true);
            const std::string noDataMark = FEED_NO_DATA_MARK;
            if (reason.empty() && Lower(caption1252.substr(0, noDataMark.size())) == noDataMark)
                reason = "caption starts with \"" + noDataMark + "\", which the viewer takes for a no-data reply";
            if (reason.empty())
                account.feed = caption1252 + "\n";
        }
        if (reason.empty()) {
            // Products files are named after ids, and Windows file names ignore case.
            const auto found = seen.find(Lower(account.id));
            if (found != seen.end())
                reason = "id " + Quoted(account.id) + " is already used on line " + std::to_string(found->second) +
                         " (ids are compared without regard to case)";
            else
                seen[Lower(account.id)] = line.number;
        }
        if (!reason.empty()) {
            AddError(state, file, line.number, reason);
            return;
        }
        if (account.verifier.empty() && account.key.size() < kAccountKeyAdvisedMin) {
            CatalogError warning;
            warning.file = file;
            warning.line = line.number;
            warning.reason = "warning: the key of " + Quoted(account.id) + " is " + std::to_string(account.key.size()) +
                             " characters; keys shorter than " + std::to_string(kAccountKeyAdvisedMin) +
                             " are quick to guess (the viewer takes up to " + std::to_string(kAccountKeyMax) + ")";
            warnings->push_back(warning);
        }
        accounts->push_back(account);
    });
    if (!read)
        AddError(state, file, 0, why);
    return read;
}

void LoadProducts(const std::string& dir, LoadState* state, CatalogAccount* account)
{
    const std::string file = dir + "/products/" + account->id + ".txt";
    std::map<std::string, int> pathLines;
    std::string why;
    const bool read = ForEachCatalogLine(file, state, &why, [&](const CatalogLine& line) {
        const std::vector<std::string>& fields = line.fields;
        const std::vector<std::string>& fields1252 = line.fields1252;
        if (fields.size() < 5 || fields.size() > 7) {
            AddError(state, file, line.number,
                     "expected 5 to 7 fields \"status | name | category | price | currency | web address | "
                     "server path\", found " + std::to_string(fields.size()));
            return;
        }
        CatalogProduct product;
        product.line = line.number;
        product.name = fields[1];
        product.price = fields[3];
        if (fields.size() > 5)
            product.webAddress = fields[5];
        if (fields.size() > 6)
            product.serverPath = fields[6];

        std::string reason;
        if (!ParseStatus(fields[0], &product.status))
            reason = "status " + Quoted(fields[0]) + " is not listed, new, sale, sold-out or a code of at most 3 characters";
        if (reason.empty() && product.name.empty())
            reason = "name is empty";
        if (reason.empty())
            reason = CheckFeedText("name", fields1252[1], kNameMax, false);
        if (reason.empty()) {
            if (!ParseId(fields[2], 10, false, &product.categoryId) || product.categoryId == 0)
                reason = "category " + Quoted(fields[2]) + " is not a category id (a number such as 1110)";
            else if (CategoryName(product.categoryId) == nullptr)
                reason = "category " + fields[2] + " is not in the category list (companions/category/categories.txt)";
        }
        if (reason.empty())
            reason = CheckFeedText("price", fields1252[3], kPriceMax, false);
        if (reason.empty()) {
            if (!ParseId(fields[4], 3, true, &product.currencyId) || product.currencyId == 0)
                reason = "currency " + Quoted(fields[4]) + " is not an ISO 4217 numeric code (such as 840 for USD)";
            else if (CurrencyCode(product.currencyId) == nullptr)
                reason = "currency " + fields[4] + " is not in the ISO 4217 list";
        }
        if (reason.empty() && !product.webAddress.empty()) {
            reason = CheckWebAddress(product.webAddress);
            if (reason.empty())
                reason = CheckFeedText("web address", product.webAddress, kWebAddressMax, false);
        }
        if (reason.empty() && !product.serverPath.empty()) {
            reason = CheckServerPath(product.serverPath);
            // A verifier hides the key's length: then the shortest key allowed without
            // --allow-short-keys must fit.
            const size_t keySize = account->verifier.empty() ? account->key.size() : kAccountKeyAdvisedMin;
            const size_t addressFields = product.serverPath.size() + account->id.size() + keySize;
            if (reason.empty() && addressFields > kPageAddressFieldsMax)
                reason = "server path, id and key are " + std::to_string(addressFields) +
                         " characters together, more than the " + std::to_string(kPageAddressFieldsMax) +
                         " the viewer's page address leaves them";
            if (reason.empty()) {
                const auto found = pathLines.find(product.serverPath);
                if (found != pathLines.end())
                    reason = "server path " + Quoted(product.serverPath) + " is already used on line " +
                             std::to_string(found->second);
            }
        }
        if (reason.empty()) {
            product.feedLine = ":" + std::to_string(product.status) + "^" + fields1252[1] + "^" +
                               std::to_string(product.categoryId) + "^" + fields1252[3] + "^" +
                               std::to_string(product.currencyId) + "^" + product.webAddress + "^" +
                               product.serverPath + "^^^^#";
            if (product.feedLine.size() > kFeedLineMax)
                reason = "feed line would be " + std::to_string(product.feedLine.size()) +
                         " characters, more than " + std::to_string(kFeedLineMax);
        }
        if (!reason.empty()) {
            AddError(state, file, line.number, reason);
            return;
        }
        if (!product.serverPath.empty()) {
            pathLines[product.serverPath] = line.number;
            account->byServerPath[product.serverPath] = account->products.size();
        }
        account->feed += product.feedLine + "\n";
        account->products.push_back(product);
    });
    if (!read)
        AddError(state, file, 0, why + " (every account of accounts.txt needs its products file)");
}

} // namespace

std::string FormatCatalogError(const CatalogError& error)
{
    if (error.line > 0)
        return TerminalSafe(error.file + ":" + std::to_string(error.line) + ": " + error.reason);
    return TerminalSafe(error.file + ": " + error.reason);
}

bool NamesWindowsDevice(const std::string& id)
{
    // Windows takes the name before the first dot: "con.shop.txt" is the console too.
    const std::string base = Lower(id.substr(0, id.find('.')));
    if (base == "con" || base == "prn" || base == "aux" || base == "nul")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
           base[3] >= '0' && base[3] <= '9';
}

std::string CheckKeyText(const std::string& key, bool allowShort)
{
    if (key.empty() || !AllOf(key, "-._~"))
        return "key must be letters, digits and - . _ ~ only";
    if (key.size() > kAccountKeyMax)
        return TooLong("key", key.size(), kAccountKeyMax);
    if (key.size() < kAccountKeyAdvisedMin && !allowShort)
        return "key is " + std::to_string(key.size()) + " characters, fewer than " +
               std::to_string(kAccountKeyAdvisedMin) + " (--allow-short-keys takes it, with a warning)";
    return "";
}

bool LoadCatalog(const std::string& dir, Catalog* catalog, std::vector<CatalogError>* errors,
                 const CatalogRules& rules)
{
    LoadState state = {errors, false};
    catalog->accounts.clear();
    catalog->productCount = 0;
    catalog->byId.clear();
    catalog->warnings.clear();
    catalog->plainKeys = 0;
    catalog->keySecret = rules.keySecret;
    if (!LoadAccounts(dir, rules, &state, &catalog->accounts, &catalog->warnings))
        return false;
    if (catalog->accounts.empty() && !state.failed)
        AddError(&state, dir + "/accounts.txt", 0, "holds no account");
    for (const CatalogAccount& account : catalog->accounts)
        catalog->plainKeys += account.verifier.empty() ? 1 : 0;
    if (catalog->plainKeys > 0 && !state.failed) {
        CatalogError warning;
        warning.file = dir + "/accounts.txt";
        warning.reason = "warning: " + std::to_string(catalog->plainKeys) + " of " +
                         std::to_string(catalog->accounts.size()) +
                         " accounts hold their key plain; store verifiers instead (feed-server --hash-key)";
        catalog->warnings.push_back(warning);
    }
    for (size_t i = 0; i < catalog->accounts.size(); ++i) {
        LoadProducts(dir, &state, &catalog->accounts[i]);
        catalog->productCount += catalog->accounts[i].products.size();
        catalog->byId[catalog->accounts[i].id] = i;
    }
    return !state.failed;
}

bool KeyMatches(const Catalog& catalog, const CatalogAccount* account, const std::string& given)
{
    if (account == nullptr) {
        if (catalog.keySecret != nullptr)
            VerifierMatches(*catalog.keySecret, std::string(kVerifierDigestBytes, '\0'), given.data(), given.size());
        return false;
    }
    if (account->verifier.empty())
        return KeysEqual(given, account->key);
    return catalog.keySecret != nullptr &&
           VerifierMatches(*catalog.keySecret, account->verifier, given.data(), given.size());
}

const CatalogAccount* FindAccount(const Catalog& catalog, const std::string& id)
{
    const auto found = catalog.byId.find(id);
    return found == catalog.byId.end() ? nullptr : &catalog.accounts[found->second];
}

int StatusGroup(int status)
{
    switch ((unsigned)AdjustStatus(status) & 7u) {
    case 2: return kStatusNew;
    case 5: return kStatusSale;
    case 6: return kStatusSoldOut;
    default: return kStatusListed;
    }
}

const char* StatusGroupName(int group)
{
    switch (group) {
    case kStatusNew: return "new";
    case kStatusSale: return "sale";
    case kStatusSoldOut: return "sold out";
    default: return "listed";
    }
}
