#include "KvDataSet.h"

#include "KvResource.h"

QString KvFieldTypeName(int code) {
  using namespace KvResource;
  switch (code) {
  case ftFloat:
  case ftCurrency:
    return STypeFloat;
  case ftSmallint:
  case ftInteger:
  case ftWord:
  case ftAutoInc:
  case ftLargeint:
    return STypeInteger;
  case ftString:
  case ftMemo:
  case ftFmtMemo:
  case ftFixedChar:
  case ftWideString:
    return STypeString;
  case ftBoolean:
    return STypeBoolean;
  case ftBCD:
    return STypeBCD;
  case ftDate:
    return STypeDate;
  case ftTime:
    return STypeTime;
  case ftDateTime:
    return STypeDateTime;
  case ftBytes:
    return STypeBytes;
  case ftVarBytes:
    return STypeVarBytes;
  case ftBlob:
    return STypeBlob;
  case ftGraphic:
    return STypeGraphic;
  case ftParadoxOle:
    return STypeParadoxOle;
  case ftDBaseOle:
    return STypeDBaseOle;
  case ftTypedBinary:
    return STypeTypedBinary;
  case ftCursor:
    return STypeCursor;
  case ftADT:
    return STypeADT;
  case ftArray:
    return STypeArray;
  case ftReference:
    return STypeReference;
  case ftDataSet:
    return STypeDataSet;
  case ftOraBlob:
    return STypeOraBlob;
  case ftOraClob:
    return STypeOraClob;
  case ftVariant:
    return STypeVariant;
  case ftInterface:
    return STypeInterface;
  case ftIDispatch:
    return STypeIDispatch;
  case ftGuid:
    return STypeGuid;
  default:
    return QString();
  }
}

TKvTypeFamily KvTypeFamily(int code) {
  switch (code) {
  case ftSmallint:
  case ftInteger:
  case ftWord:
  case ftAutoInc:
  case ftLargeint:
    return TKvTypeFamily::Integer;
  case ftFloat:
  case ftCurrency:
    return TKvTypeFamily::Float;
  case ftString:
  case ftMemo:
  case ftFmtMemo:
  case ftFixedChar:
  case ftWideString:
    return TKvTypeFamily::String;
  default:
    return TKvTypeFamily::None;
  }
}

bool KvTypesCompatible(int dragged, int target) {
  const TKvTypeFamily family = KvTypeFamily(dragged);
  if (family != TKvTypeFamily::None) return family == KvTypeFamily(target);
  return dragged == target;
}
