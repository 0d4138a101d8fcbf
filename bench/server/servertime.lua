-- The clock check: the smallest request the service answers.
package.path = (os.getenv("ZX_SCRIPTS") or ".") .. "/?.lua;" .. package.path
local common = require("common")
common.install(nil)

request = function()
  return wrk.format("GET", "/score/servertime.php?t=0.5")
end
