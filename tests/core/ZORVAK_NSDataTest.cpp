#include "core/foundation/ZORVAK_NSData.h"

#include <gtest/gtest.h>

namespace {
QByteArray thousandBytes()
{
    QByteArray data;
    for (int i = 0; i < 1000; ++i)
        data.append(char((i * 7 + 3) % 256));
    return data;
}

struct DigestCase {
    const char* name;
    QByteArray (*digest)(const QByteArray&);
    const char* ofAbc;
    const char* ofThousandBytes;
};

const DigestCase digestCases[] = {
    {"digest16", ZORVAK_NSData::digest16, "900150983cd24fb0d6963f7d28e17f72", "10046f077f2082ac19676b8079f1cb1a"},
    {"digest20", ZORVAK_NSData::digest20, "a9993e364706816aba3e25717850c26c9cd0d89d", "4231a8a50a10fa9758db8ec71fdef855b751048a"},
    {"digest28", ZORVAK_NSData::digest28, "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7",
     "23729dacbd480285c5c68439e2fe22ca5611a63cd6c14d2ec5ae2c85"},
    {"digest32", ZORVAK_NSData::digest32, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
     "1e9bc38cbf860b9ec31918b065f9b52476c549a782e0e7990bed8ce3868d2371"},
    {"digest", ZORVAK_NSData::digest, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
     "1e9bc38cbf860b9ec31918b065f9b52476c549a782e0e7990bed8ce3868d2371"},
    {"digest48", ZORVAK_NSData::digest48,
     "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7",
     "94c38db521ca733b8904c2d14b6e82d33dcfcc26e1318c579dbee1fc2f472019034e792263b9d46e90e700de2f6e7e91"},
    {"digest64", ZORVAK_NSData::digest64,
     "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f",
     "00e36fccf193e59697a92b5ab24666ce6326d7fa16bf10832d0991ddc591112e9dfa6a636950ed9c4d67344a760654c2ff7785e1d60094d651038735b5dccabd"},
};
} // namespace

TEST(NSDataDigests, CoverEveryByteOfShortAndLongData)
{
    for (const DigestCase& digestCase : digestCases) {
        SCOPED_TRACE(digestCase.name);
        EXPECT_EQ(digestCase.digest(QByteArrayLiteral("abc")).toHex(), QByteArray(digestCase.ofAbc));
        EXPECT_EQ(digestCase.digest(thousandBytes()).toHex(), QByteArray(digestCase.ofThousandBytes));
    }
}

TEST(NSDataText, Base64IsPaddedOnOneLine)
{
    EXPECT_EQ(ZORVAK_NSData::encodedBase64(QByteArrayLiteral("ab")), QStringLiteral("YWI="));
    EXPECT_EQ(ZORVAK_NSData::encodedBase64(thousandBytes().left(100)),
              QStringLiteral("AwoRGB8mLTQ7QklQV15lbHN6gYiPlp2kq7K5wMfO1dzj6vH4/wYNFBsiKTA3PkVMU1phaG92fYSLkpmgp661vMPK0djf5u30+wIJEBceJSwzOkFIT1ZdZGtyeYCHjpWco6qxuA=="));
}

TEST(NSDataText, Base16IsUpperCaseAndAbsentForEmptyData)
{
    EXPECT_EQ(ZORVAK_NSData::encodedBase16(QByteArray::fromHex("00abff")), QStringLiteral("00ABFF"));
    EXPECT_TRUE(ZORVAK_NSData::encodedBase16({}).isNull());
}
