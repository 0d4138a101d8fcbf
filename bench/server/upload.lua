-- Score uploads of 20 lines each, every teacher in turn, bodies from
-- uploads.txt (ZX_DATA folder) exactly as the program posts them, no body
-- sent twice while they last (the wrk threads take turns through the file,
-- from body ZX_FIRST on). Every reply must be "Success!".
package.path = (os.getenv("ZX_SCRIPTS") or ".") .. "/?.lua;" .. package.path
local common = require("common")
local data = os.getenv("ZX_DATA") or "."
local bodies = common.lines(data .. "/uploads.txt")
local step = tonumber(os.getenv("ZX_THREADS") or "2")
local first = tonumber(os.getenv("ZX_FIRST") or "0")
local i = nil

common.install("Success!")

request = function()
  if i == nil then i = first + (thread_index or 0) end
  i = i + step
  return wrk.format("POST", "/score/index.php",
                    {["Content-Type"] = "application/x-www-form-urlencoded"},
                    bodies[(i - step) % #bodies + 1])
end
