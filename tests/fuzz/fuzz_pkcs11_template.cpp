// Templates of any shape for the PKCS#11 module over a virtual key: C_CreateObject, C_GenerateKeyPair and
// C_GetAttributeValue never touch memory outside what the caller gave, and an object made with a CKA_ID
// of the caller's carries that ID (the module honours it or refuses the template).
#include "fuzz_input_file.h"
#include "token/lib/softkey/virtual_key_manager.h"

#include <p11-kit/pkcs11.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

extern "C" CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list);

namespace {

constexpr CK_ATTRIBUTE_TYPE kSplit = 0xFFFFFFFF; // ends the public template of a key pair

// A world of one logged-in virtual key, made once per fuzzing process and removed when it ends.
struct ModuleWorld {
    std::filesystem::path folder;
    CK_FUNCTION_LIST* p11 = nullptr;
    CK_SESSION_HANDLE session = CK_INVALID_HANDLE;

    ModuleWorld() {
        char pattern[] = "/tmp/pellorzu-fuzz-p11-XXXXXX";
        require(mkdtemp(pattern) != nullptr);
        folder = pattern;
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        quillard::VirtualKeySettings settings;
        settings.serial = "FUZZ0001";
        settings.label = "Fuzz";
        settings.userPolicy = {4, 16, 15};
        settings.soPolicy = {6, 16, 15};
        settings.userPin = "12345678";
        settings.soPin = "87654321";
        settings.totalMemory = 1 << 20;
        settings.kdfIterations = 16;
        std::string made;
        require(quillard::VirtualKeyManager().create(settings, made, nullptr) == 0);
        require(C_GetFunctionList(&p11) == CKR_OK && p11->C_Initialize(nullptr) == CKR_OK);
        CK_SLOT_ID slots[4];
        CK_ULONG count = 4;
        require(p11->C_GetSlotList(CK_TRUE, slots, &count) == CKR_OK && count == 1);
        require(p11->C_OpenSession(slots[0], CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr,
                                   &session) == CKR_OK);
        CK_UTF8CHAR pin[] = "12345678";
        require(p11->C_Login(session, CKU_USER, pin, 8) == CKR_OK);
    }
    ~ModuleWorld() {
        p11->C_Finalize(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

// Attributes read from the input: a 4-byte type, a 2-byte length and that many value bytes (fewer at the
// end of the input), each value in a buffer of its own so a write past it is caught.
struct Template {
    std::vector<CK_ATTRIBUTE> attributes;
    std::vector<std::unique_ptr<uint8_t[]>> values;

    const CK_ATTRIBUTE* find(CK_ATTRIBUTE_TYPE type) const {
        for (const CK_ATTRIBUTE& attribute : attributes)
            if (attribute.type == type)
                return &attribute;
        return nullptr;
    }
};

std::vector<Template> readTemplates(const uint8_t* data, std::size_t size) {
    std::vector<Template> templates(1);
    std::size_t at = 0;
    while (at + 6 <= size) {
        CK_ATTRIBUTE_TYPE type = 0;
        for (int i = 0; i < 4; ++i)
            type |= static_cast<CK_ATTRIBUTE_TYPE>(data[at + i]) << (8 * i);
        std::size_t length = data[at + 4] | (static_cast<std::size_t>(data[at + 5]) << 8);
        at += 6;
        if (type == kSplit) {
            templates.emplace_back();
            continue;
        }
        length = std::min(length, size - at);
        Template& current = templates.back();
        current.values.push_back(std::make_unique<uint8_t[]>(length ? length : 1));
        std::copy(data + at, data + at + length, current.values.back().get());
        current.attributes.push_back({type, length ? current.values.back().get() : nullptr, length});
        at += length;
    }
    return templates;
}

std::vector<uint8_t> idOf(ModuleWorld& world, CK_OBJECT_HANDLE object) {
    CK_ATTRIBUTE id{CKA_ID, nullptr, 0};
    if (world.p11->C_GetAttributeValue(world.session, object, &id, 1) != CKR_OK)
        return {};
    std::vector<uint8_t> value(id.ulValueLen);
    id.pValue = value.data();
    require(world.p11->C_GetAttributeValue(world.session, object, &id, 1) == CKR_OK);
    return value;
}

// An object made from `asked` carries the CKA_ID it asked for; the object goes again, so the key stays small.
void checkAndRemove(ModuleWorld& world, const Template& asked, CK_OBJECT_HANDLE object) {
    if (const CK_ATTRIBUTE* id = asked.find(CKA_ID)) {
        const uint8_t* bytes = static_cast<const uint8_t*>(id->pValue);
        require(idOf(world, object) == std::vector<uint8_t>(bytes, bytes + id->ulValueLen));
    }
    world.p11->C_DestroyObject(world.session, object);
}

void createObject(ModuleWorld& world, const Template& asked) {
    CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
    const CK_RV rv = world.p11->C_CreateObject(
        world.session, const_cast<CK_ATTRIBUTE*>(asked.attributes.data()), asked.attributes.size(), &object);
    if (rv == CKR_OK)
        checkAndRemove(world, asked, object);
}

void generateKeyPair(ModuleWorld& world, bool rsa, const Template& publicPart, const Template& privatePart) {
    CK_MECHANISM mechanism{rsa ? CKM_RSA_PKCS_KEY_PAIR_GEN : CKM_EC_KEY_PAIR_GEN, nullptr, 0};
    CK_OBJECT_HANDLE publicKey = CK_INVALID_HANDLE, privateKey = CK_INVALID_HANDLE;
    const CK_RV rv = world.p11->C_GenerateKeyPair(
        world.session, &mechanism, const_cast<CK_ATTRIBUTE*>(publicPart.attributes.data()),
        publicPart.attributes.size(), const_cast<CK_ATTRIBUTE*>(privatePart.attributes.data()),
        privatePart.attributes.size(), &publicKey, &privateKey);
    if (rv != CKR_OK)
        return;
    checkAndRemove(world, privatePart, privateKey);
    checkAndRemove(world, publicPart, publicKey);
}

// Reads the attributes `asked` names from every object the session sees, into buffers of the sizes given.
void readAttributes(ModuleWorld& world, Template& asked) {
    require(world.p11->C_FindObjectsInit(world.session, nullptr, 0) == CKR_OK);
    CK_OBJECT_HANDLE objects[16];
    CK_ULONG count = 0;
    world.p11->C_FindObjects(world.session, objects, 16, &count);
    world.p11->C_FindObjectsFinal(world.session);
    for (CK_ULONG i = 0; i < count; ++i)
        world.p11->C_GetAttributeValue(world.session, objects[i], asked.attributes.data(),
                                       asked.attributes.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static ModuleWorld world;
    if (size < 1)
        return 0;
    std::vector<Template> templates = readTemplates(data + 1, size - 1);
    switch (data[0] % 4) {
    case 0:
        createObject(world, templates[0]);
        break;
    case 1:
    case 2: {
        const Template none;
        generateKeyPair(world, data[0] % 4 == 2, templates[0], templates.size() > 1 ? templates[1] : none);
        break;
    }
    default:
        readAttributes(world, templates[0]);
        break;
    }
    return 0;
}
