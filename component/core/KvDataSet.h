#pragma once

#include <QString>
#include <cstdint>

// Field-type codes of a table's columns, in the fixed order hosts and saved designs rely on.
enum TFieldType : std::uint8_t {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftBytes,
  ftVarBytes,
  ftAutoInc,
  ftBlob,
  ftMemo,
  ftGraphic,
  ftFmtMemo,
  ftParadoxOle,
  ftDBaseOle,
  ftTypedBinary,
  ftCursor,
  ftFixedChar,
  ftWideString,
  ftLargeint,
  ftADT,
  ftArray,
  ftReference,
  ftDataSet,
  ftOraBlob,
  ftOraClob,
  ftVariant,
  ftInterface,
  ftIDispatch,
  ftGuid,
  ftTimeStamp,
  ftFMTBcd
};

// Display name of a field-type code ("Integer", "String" ...); empty for unknown codes.
QString KvFieldTypeName(int code);

// Families whose members may be linked to each other.
enum class TKvTypeFamily { None, Integer, Float, String };
TKvTypeFamily KvTypeFamily(int code);

// Whether a row of type `dragged` may be linked to a row of type `target`: within a family any
// member goes; outside the families only equal types.
bool KvTypesCompatible(int dragged, int target);

// What the designer reads of a table: its columns, in order, with name and type code. The host
// hands one over for every table it puts on the surface; the designer does not keep it.
class TKvDataSet {
public:
  virtual ~TKvDataSet() = default;
  virtual int FieldCount() const = 0;
  virtual QString FieldName(int index) const = 0;
  virtual int FieldType(int index) const = 0;
};
