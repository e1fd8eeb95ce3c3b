{case}/source.nc:4:10: error: ..\NOFILE.DEF が見つかりません。
