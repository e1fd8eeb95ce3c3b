{case}/source.nc:4:10: error: {case}/NOFILE.DEF が見つかりません。
