// Every misuse of the module gets its own clear CKR_* result, and an operation a caller may finish (a buffer
// too small) goes on.
#include "module_fixture.h"

namespace {

class ModuleMisuseTest : public ModuleTest {};

CK_RV lockingStub(void*) {
    return CKR_OK;
}
CK_RV createStub(void**) {
    return CKR_OK;
}

TEST_F(ModuleMisuseTest, InitializeAndFinalizeCheckTheirArguments) {
    EXPECT_EQ(p11->C_Initialize(nullptr), CKR_CRYPTOKI_ALREADY_INITIALIZED);
    ASSERT_EQ(p11->C_Finalize(nullptr), CKR_OK);
    EXPECT_EQ(p11->C_Finalize(nullptr), CKR_CRYPTOKI_NOT_INITIALIZED);
    CK_ULONG count = 0;
    EXPECT_EQ(p11->C_GetSlotList(CK_TRUE, nullptr, &count), CKR_CRYPTOKI_NOT_INITIALIZED);

    CK_C_INITIALIZE_ARGS arguments{};
    arguments.CreateMutex = createStub;
    EXPECT_EQ(p11->C_Initialize(&arguments), CKR_ARGUMENTS_BAD); // some callbacks but not all
    arguments.DestroyMutex = lockingStub;
    arguments.LockMutex = lockingStub;
    arguments.UnlockMutex = lockingStub;
    EXPECT_EQ(p11->C_Initialize(&arguments), CKR_CANT_LOCK); // only the caller's locks, which it cannot use
    arguments.flags = CKF_OS_LOCKING_OK;
    ASSERT_EQ(p11->C_Initialize(&arguments), CKR_OK);
    int reserved = 0;
    EXPECT_EQ(p11->C_Finalize(&reserved), CKR_ARGUMENTS_BAD);
}

std::size_t threadsOfThisProcess() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& thread : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

// The module watches the keys folder on a thread of its own, which ends with C_Finalize; a program that
// forbids its libraries threads gets none.
TEST_F(ModuleMisuseTest, StartsNoThreadWhenTheProgramForbidsThemAndEndsItsOwnAtFinalize) {
    auto signOnce = [&] {
        CK_SESSION_HANDLE session = openSession();
        ASSERT_EQ(login(session, kUserPin), CKR_OK);
        CK_MECHANISM mechanism{CKM_SHA256_RSA_PKCS, nullptr, 0};
        ASSERT_EQ(p11->C_SignInit(session, &mechanism, findOne(session, CKO_PRIVATE_KEY, kContainer)),
                  CKR_OK);
        CK_BYTE data[4] = {1, 2, 3, 4};
        CK_BYTE signature[256];
        CK_ULONG length = sizeof signature;
        ASSERT_EQ(p11->C_Sign(session, data, sizeof data, signature, &length), CKR_OK);
    };
    ASSERT_EQ(p11->C_Finalize(nullptr), CKR_OK);
    const std::size_t before = threadsOfThisProcess();

    CK_C_INITIALIZE_ARGS noThreads{};
    noThreads.flags = CKF_LIBRARY_CANT_CREATE_OS_THREADS | CKF_OS_LOCKING_OK;
    ASSERT_EQ(p11->C_Initialize(&noThreads), CKR_OK);
    signOnce();
    EXPECT_EQ(threadsOfThisProcess(), before);
    ASSERT_EQ(p11->C_Finalize(nullptr), CKR_OK);

    ASSERT_EQ(p11->C_Initialize(nullptr), CKR_OK);
    signOnce();
    EXPECT_EQ(threadsOfThisProcess(), before + 1);
    ASSERT_EQ(p11->C_Finalize(nullptr), CKR_OK);
    EXPECT_EQ(threadsOfThisProcess(), before);
    ASSERT_EQ(p11->C_Initialize(nullptr), CKR_OK);
}

TEST_F(ModuleMisuseTest, SlotsSessionsAndPointers) {
    CK_SLOT_INFO slotInfo{};
    EXPECT_EQ(p11->C_GetSlotInfo(999, &slotInfo), CKR_SLOT_ID_INVALID);
    EXPECT_EQ(p11->C_GetSlotInfo(slotOf(kSerial), nullptr), CKR_ARGUMENTS_BAD);
    CK_SESSION_HANDLE session = CK_INVALID_HANDLE;
    EXPECT_EQ(p11->C_OpenSession(slotOf(kSerial), CKF_RW_SESSION, nullptr, nullptr, &session),
              CKR_SESSION_PARALLEL_NOT_SUPPORTED);
    EXPECT_EQ(p11->C_CloseSession(12345), CKR_SESSION_HANDLE_INVALID);
    CK_ULONG count = 0;
    EXPECT_EQ(p11->C_GetSlotList(CK_TRUE, nullptr, nullptr), CKR_ARGUMENTS_BAD);
    ASSERT_EQ(p11->C_GetSlotList(CK_TRUE, nullptr, &count), CKR_OK);
    std::vector<CK_SLOT_ID> none(1);
    count = 0;
    EXPECT_EQ(p11->C_GetSlotList(CK_TRUE, none.data(), &count), CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 1u);

    CK_INFO info{};
    ASSERT_EQ(p11->C_GetInfo(&info), CKR_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(info.manufacturerID), 7), "Norvale");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(info.libraryDescription), 21), "PellorZu virtual keys");
    // The model field holds whole words of the key's model, never one cut in the middle.
    CK_TOKEN_INFO token{};
    ASSERT_EQ(p11->C_GetTokenInfo(slotOf(kSerial), &token), CKR_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(token.model), sizeof token.model), "Zarto Virtual   ");
    CK_MECHANISM_INFO mechanism{};
    EXPECT_EQ(p11->C_GetMechanismInfo(slotOf(kSerial), CKM_MD5, &mechanism), CKR_MECHANISM_INVALID);
}

TEST_F(ModuleMisuseTest, OperationsOutOfTurnAndWithTheWrongKey) {
    CK_SESSION_HANDLE session = openSession(false);
    CK_MECHANISM rsa{CKM_SHA256_RSA_PKCS, nullptr, 0};
    CK_MECHANISM ecdsa{CKM_ECDSA_SHA256, nullptr, 0};
    CK_BYTE data[] = {1, 2, 3};
    CK_ULONG length = 0;
    EXPECT_EQ(p11->C_Sign(session, data, sizeof data, nullptr, &length), CKR_OPERATION_NOT_INITIALIZED);
    CK_OBJECT_HANDLE certificate = findOne(session, CKO_CERTIFICATE, kContainer);
    EXPECT_EQ(p11->C_SignInit(session, &rsa, certificate), CKR_USER_NOT_LOGGED_IN);
    ASSERT_EQ(login(session, kUserPin), CKR_OK);
    EXPECT_EQ(p11->C_SignInit(session, &rsa, certificate), CKR_KEY_HANDLE_INVALID);
    EXPECT_EQ(p11->C_SignInit(session, &rsa, 0), CKR_KEY_HANDLE_INVALID);
    CK_OBJECT_HANDLE key = findOne(session, CKO_PRIVATE_KEY, kContainer);
    EXPECT_EQ(p11->C_SignInit(session, &ecdsa, key), CKR_KEY_TYPE_INCONSISTENT);
    CK_MECHANISM unknown{CKM_MD5_RSA_PKCS, nullptr, 0};
    EXPECT_EQ(p11->C_SignInit(session, &unknown, key), CKR_MECHANISM_INVALID);
    CK_RSA_PKCS_PSS_PARAMS wrongHash{CKM_SHA384, CKG_MGF1_SHA384, 48};
    CK_MECHANISM pss{CKM_SHA256_RSA_PKCS_PSS, &wrongHash, sizeof wrongHash};
    EXPECT_EQ(p11->C_SignInit(session, &pss, key), CKR_MECHANISM_PARAM_INVALID);

    ASSERT_EQ(p11->C_SignInit(session, &rsa, key), CKR_OK);
    EXPECT_EQ(p11->C_SignInit(session, &rsa, key), CKR_OPERATION_ACTIVE);
    // A buffer too small is answered with the length, and the signature can still be made.
    CK_BYTE small[8];
    length = sizeof small;
    EXPECT_EQ(p11->C_Sign(session, data, sizeof data, small, &length), CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 256u);
    std::vector<CK_BYTE> signature(length);
    EXPECT_EQ(p11->C_Sign(session, data, sizeof data, signature.data(), &length), CKR_OK);
    EXPECT_EQ(p11->C_Sign(session, data, sizeof data, signature.data(), &length),
              CKR_OPERATION_NOT_INITIALIZED);

    // Signature keys do not decrypt.
    CK_MECHANISM decrypt{CKM_RSA_PKCS, nullptr, 0};
    EXPECT_EQ(p11->C_DecryptInit(session, &decrypt, findOne(session, CKO_PRIVATE_KEY, "Test-EC")),
              CKR_KEY_FUNCTION_NOT_PERMITTED);
    // Raw RSA data longer than the key can pad ends the operation with its own result.
    CK_MECHANISM raw{CKM_RSA_PKCS, nullptr, 0};
    ASSERT_EQ(p11->C_SignInit(session, &raw, key), CKR_OK);
    std::vector<CK_BYTE> tooLong(300, 7);
    length = signature.size();
    EXPECT_EQ(p11->C_Sign(session, tooLong.data(), tooLong.size(), signature.data(), &length),
              CKR_DATA_LEN_RANGE);
    EXPECT_EQ(p11->C_SignUpdate(session, data, sizeof data), CKR_OPERATION_NOT_INITIALIZED);
}

TEST_F(ModuleMisuseTest, AttributesOfPrivateKeysStayInside) {
    CK_SESSION_HANDLE session = openSession(false);
    ASSERT_EQ(login(session, kUserPin), CKR_OK);
    CK_OBJECT_HANDLE key = findOne(session, CKO_PRIVATE_KEY, kContainer);
    CK_BBOOL sensitive = CK_FALSE;
    CK_BBOOL extractable = CK_TRUE;
    CK_BYTE exponent[512];
    CK_ATTRIBUTE query[] = {{CKA_SENSITIVE, &sensitive, sizeof sensitive},
                            {CKA_PRIVATE_EXPONENT, exponent, sizeof exponent},
                            {CKA_EXTRACTABLE, &extractable, sizeof extractable},
                            {CKA_VALUE_LEN, exponent, sizeof exponent}};
    EXPECT_EQ(p11->C_GetAttributeValue(session, key, query, 4), CKR_ATTRIBUTE_SENSITIVE);
    EXPECT_EQ(sensitive, CK_TRUE);
    EXPECT_EQ(extractable, CK_FALSE);
    EXPECT_EQ(query[1].ulValueLen, CK_UNAVAILABLE_INFORMATION);
    EXPECT_EQ(query[3].ulValueLen, CK_UNAVAILABLE_INFORMATION);
    EXPECT_EQ(p11->C_GetAttributeValue(session, key, query + 3, 1), CKR_ATTRIBUTE_TYPE_INVALID);

    // The pair and its certificate share the CKA_ID and carry the container's name.
    std::vector<uint8_t> id = attribute(session, key, CKA_ID);
    EXPECT_EQ(id.size(), 20u);
    EXPECT_EQ(attribute(session, findOne(session, CKO_CERTIFICATE, kContainer), CKA_ID), id);
    EXPECT_EQ(attribute(session, findOne(session, CKO_PUBLIC_KEY, kContainer), CKA_ID), id);

    // After the logout the private key is gone from view, its handle too.
    ASSERT_EQ(p11->C_Logout(session), CKR_OK);
    EXPECT_TRUE(find(session, CKO_PRIVATE_KEY).empty());
    EXPECT_EQ(p11->C_GetAttributeValue(session, key, query, 1), CKR_OBJECT_HANDLE_INVALID);
    EXPECT_EQ(p11->C_SetAttributeValue(session, findOne(session, CKO_CERTIFICATE, kContainer), query, 1),
              CKR_ACTION_PROHIBITED);
}

TEST_F(ModuleMisuseTest, ChangesNeedAReadWriteSessionAndTheLogin) {
    CK_SESSION_HANDLE readOnly = openSession(false);
    CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    CK_ATTRIBUTE templ[] = {{CKA_CLASS, &certificateClass, sizeof certificateClass}};
    CK_OBJECT_HANDLE created = CK_INVALID_HANDLE;
    EXPECT_EQ(p11->C_CreateObject(readOnly, templ, 1, &created), CKR_SESSION_READ_ONLY);
    CK_SESSION_HANDLE session = openSession(true);
    EXPECT_EQ(p11->C_CreateObject(session, templ, 1, &created), CKR_USER_NOT_LOGGED_IN);
    EXPECT_EQ(p11->C_DestroyObject(session, findOne(session, CKO_CERTIFICATE, kContainer)),
              CKR_USER_NOT_LOGGED_IN);
    ASSERT_EQ(login(session, kUserPin), CKR_OK);
    EXPECT_EQ(p11->C_CreateObject(session, templ, 1, &created), CKR_TEMPLATE_INCOMPLETE);
    // A public key stays while its private key needs it.
    EXPECT_EQ(p11->C_DestroyObject(session, findOne(session, CKO_PUBLIC_KEY, kContainer)),
              CKR_ACTION_PROHIBITED);
    CK_OBJECT_CLASS dataClass = CKO_DATA;
    CK_ATTRIBUTE data[] = {{CKA_CLASS, &dataClass, sizeof dataClass}};
    EXPECT_EQ(p11->C_CreateObject(session, data, 1, &created), CKR_ATTRIBUTE_VALUE_INVALID);
}

} // namespace
