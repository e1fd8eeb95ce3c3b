{case}/source.nc:2:4: error: 0X123456789 は16進数に変換できません。
