{case}/source.nc:6:2: error: AB は二重定義されています。
{case}/source.nc:3:2: note: AB の最初の定義です。
