{case}/source.nc:10:1: warning: 10行目 #IF に対応する #END が有りません。
{case}/source.nc:4:1: warning: 4行目 定義の無い定義行です。
{case}/COMMON.DEF:5:1: warning: 5行目 定義の無い定義行です。
{case}/source.nc:5:2: warning: TOOL は置換後ﾃﾞｰﾀに有ります。
{case}/COMMON.DEF:2:2: warning: FEED : 200 は二重定義されています
{case}/source.nc:3:2: note: FEED の最初の定義です。
{case}/source.nc:8:4: error: 8行目 []の数が合いません。
{case}/source.nc:7:24: error: 7行目 GOTOO 不明
