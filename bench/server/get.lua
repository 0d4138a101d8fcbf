-- GET requests from a file of addresses (ZX_TARGETS in the ZX_DATA folder,
-- written by zorvanix_bench_dataset): the one of teacher ZX_TEACHER (default
-- 7) over and over, or every teacher's in turn with ZX_ALL=1.
package.path = (os.getenv("ZX_SCRIPTS") or ".") .. "/?.lua;" .. package.path
local common = require("common")
local data = os.getenv("ZX_DATA") or "."
local targets = common.lines(data .. "/" .. (os.getenv("ZX_TARGETS") or "records.txt"))
local all = os.getenv("ZX_ALL") == "1"
local one = targets[(tonumber(os.getenv("ZX_TEACHER") or "7") % #targets) + 1]
local i = 0

common.install(nil)

request = function()
  if all then
    i = i % #targets + 1
    return wrk.format("GET", targets[i])
  end
  return wrk.format("GET", one)
end
