#include "container_index.h"

#include <algorithm>
#include <map>

namespace quillard::pkcs11 {

namespace {

constexpr CK_ULONG kSearchBatch = 256;
constexpr std::size_t kLabelRoom = 512;
constexpr std::size_t kIdRoom = 128;

// The attributes the index needs of one object, read in one call.
struct ObjectFacts {
    CK_OBJECT_HANDLE handle = 0;
    CK_OBJECT_CLASS objectClass = CKO_DATA;
    std::string label;
    std::vector<uint8_t> id;
    bool exchangeUse = false; // decrypt or unwrap (private key), encrypt or wrap (public key)
};

std::vector<CK_OBJECT_HANDLE> tokenObjects(const Pkcs11Call& call, CK_SESSION_HANDLE session) {
    CK_BBOOL yes = CK_TRUE;
    CK_ATTRIBUTE onToken{CKA_TOKEN, &yes, sizeof yes};
    call("C_FindObjectsInit", &CK_FUNCTION_LIST::C_FindObjectsInit, session, &onToken, 1);
    std::vector<CK_OBJECT_HANDLE> handles;
    CK_ULONG found = 0;
    do {
        const std::size_t before = handles.size();
        handles.resize(before + kSearchBatch);
        CK_RV rv = call.attempt("C_FindObjects", &CK_FUNCTION_LIST::C_FindObjects, session,
                                handles.data() + before, kSearchBatch, &found);
        if (rv != CKR_OK) {
            call.attempt("C_FindObjectsFinal", &CK_FUNCTION_LIST::C_FindObjectsFinal, session);
            call.check("C_FindObjects", rv);
        }
        handles.resize(before + found);
    } while (found == kSearchBatch);
    call("C_FindObjectsFinal", &CK_FUNCTION_LIST::C_FindObjectsFinal, session);
    return handles;
}

bool isTrue(const CK_ATTRIBUTE& attribute, const CK_BBOOL& value) {
    return attribute.ulValueLen == sizeof value && value == CK_TRUE;
}

// One object's facts; nothing for an object the module does not let us read.
std::optional<ObjectFacts> readFacts(const Pkcs11Call& call, CK_SESSION_HANDLE session,
                                     CK_OBJECT_HANDLE handle) {
    ObjectFacts facts;
    facts.handle = handle;
    std::vector<char> label(kLabelRoom);
    std::vector<uint8_t> id(kIdRoom);
    CK_BBOOL decrypt = CK_FALSE, unwrap = CK_FALSE, encrypt = CK_FALSE, wrap = CK_FALSE;
    CK_ATTRIBUTE attributes[] = {
        {CKA_CLASS, &facts.objectClass, sizeof facts.objectClass},
        {CKA_LABEL, label.data(), label.size()},
        {CKA_ID, id.data(), id.size()},
        {CKA_DECRYPT, &decrypt, sizeof decrypt},
        {CKA_UNWRAP, &unwrap, sizeof unwrap},
        {CKA_ENCRYPT, &encrypt, sizeof encrypt},
        {CKA_WRAP, &wrap, sizeof wrap},
    };
    // Attributes an object does not have come back unavailable, with one of these answers for the whole call.
    CK_RV rv = call.attempt("C_GetAttributeValue", &CK_FUNCTION_LIST::C_GetAttributeValue, session, handle,
                            attributes, static_cast<CK_ULONG>(std::size(attributes)));
    if (rv != CKR_OK && rv != CKR_ATTRIBUTE_TYPE_INVALID && rv != CKR_ATTRIBUTE_SENSITIVE) {
        if (rv == CKR_OBJECT_HANDLE_INVALID)
            return std::nullopt;
        call.check("C_GetAttributeValue", rv);
    }
    if (attributes[0].ulValueLen != sizeof facts.objectClass ||
        attributes[1].ulValueLen == CK_UNAVAILABLE_INFORMATION || attributes[1].ulValueLen > label.size())
        return std::nullopt; // no class, or no label (no container), or a label longer than a name may be
    facts.label.assign(label.data(), attributes[1].ulValueLen);
    if (attributes[2].ulValueLen != CK_UNAVAILABLE_INFORMATION && attributes[2].ulValueLen <= id.size())
        facts.id.assign(id.begin(), id.begin() + static_cast<std::ptrdiff_t>(attributes[2].ulValueLen));
    if (facts.objectClass == CKO_PRIVATE_KEY)
        facts.exchangeUse = isTrue(attributes[3], decrypt) || isTrue(attributes[4], unwrap);
    else if (facts.objectClass == CKO_PUBLIC_KEY)
        facts.exchangeUse = isTrue(attributes[5], encrypt) || isTrue(attributes[6], wrap);
    return facts;
}

bool isContainerClass(CK_OBJECT_CLASS objectClass) {
    return objectClass == CKO_DATA || objectClass == CKO_CERTIFICATE || objectClass == CKO_PUBLIC_KEY ||
           objectClass == CKO_PRIVATE_KEY;
}

// The key pairs of one container by CKA_ID, with the use that decides their place.
struct PairDraft {
    KeyPairObjects objects;
    std::optional<bool> privateExchange;
    std::optional<bool> publicExchange;
};

void addToPair(std::vector<PairDraft>& drafts, const ObjectFacts& facts) {
    auto draft = std::find_if(drafts.begin(), drafts.end(),
                              [&](const PairDraft& candidate) { return candidate.objects.id == facts.id; });
    if (draft == drafts.end()) {
        drafts.push_back({});
        draft = std::prev(drafts.end());
        draft->objects.id = facts.id;
    }
    if (facts.objectClass == CKO_CERTIFICATE && !draft->objects.certificate) {
        draft->objects.certificate = facts.handle;
    } else if (facts.objectClass == CKO_PUBLIC_KEY && !draft->objects.publicKey) {
        draft->objects.publicKey = facts.handle;
        draft->publicExchange = facts.exchangeUse;
    } else if (facts.objectClass == CKO_PRIVATE_KEY && !draft->objects.privateKey) {
        draft->objects.privateKey = facts.handle;
        draft->privateExchange = facts.exchangeUse;
    }
}

// Puts each pair in its place: first the pairs whose keys tell their use, then lone certificates in a free
// place. A pair that finds its place taken takes the other one when it is free.
void placePairs(std::vector<PairDraft>& drafts, ContainerObjects& container) {
    auto place = [&](PairDraft& draft, int preferred) {
        for (int slot : {preferred, 1 - preferred})
            if (!container.pairs[slot]) {
                container.pairs[slot] = std::move(draft.objects);
                return;
            }
    };
    for (PairDraft& draft : drafts) {
        std::optional<bool> exchange = draft.privateExchange ? draft.privateExchange : draft.publicExchange;
        if (exchange)
            place(draft, *exchange ? 0 : 1);
    }
    for (PairDraft& draft : drafts)
        if (!draft.privateExchange && !draft.publicExchange)
            place(draft, 0);
}

} // namespace

ContainerIndex ContainerIndex::read(const Pkcs11Call& call, CK_SESSION_HANDLE session) {
    std::map<std::string, std::pair<ContainerObjects, std::vector<PairDraft>>> byName;
    for (CK_OBJECT_HANDLE handle : tokenObjects(call, session)) {
        std::optional<ObjectFacts> facts = readFacts(call, session, handle);
        if (!facts || facts->label.empty() || !isContainerClass(facts->objectClass))
            continue;
        auto& [container, drafts] = byName[facts->label];
        container.name = facts->label;
        container.all.push_back(handle);
        if (facts->objectClass != CKO_DATA)
            addToPair(drafts, *facts);
    }
    ContainerIndex index;
    for (auto& [name, entry] : byName) {
        placePairs(entry.second, entry.first);
        index.containers_.push_back(std::move(entry.first));
    }
    return index;
}

const ContainerObjects* ContainerIndex::find(const std::string& name) const {
    auto found = std::lower_bound(
        containers_.begin(), containers_.end(), name,
        [](const ContainerObjects& container, const std::string& key) { return container.name < key; });
    return found != containers_.end() && found->name == name ? &*found : nullptr;
}

const KeyPairObjects* ContainerIndex::pair(const std::string& name, int32_t spec) const {
    const ContainerObjects* container = find(name);
    if (!container || (spec != 1 && spec != 2) || !container->pairs[spec - 1])
        return nullptr;
    return &*container->pairs[spec - 1];
}

} // namespace quillard::pkcs11
