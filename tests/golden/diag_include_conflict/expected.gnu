{case}/COMMON.DEF:3:2: error: XO は二重定義されています。
{case}/source.nc:3:2: note: XO の最初の定義です。
