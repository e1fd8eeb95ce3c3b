{tmp}/nowhere/ChkData.lst: error: {tmp}/nowhere/ChkData.lst が読み込めません。
